// The print command when the host fails: a font, a commit, the translucent fill, the shared
// folder, the view and the print job. Each failure is made by replacing one entry of the host's
// tables with one that raises, as a failing host would.
#include <unistd.h>

#include "PrintHarness.h"
#include "calls/CallSupport.h"

using namespace printtest;
using pdfhost::Host;
namespace calls = pdfhost::calls;

namespace {

// Which call of a kind fails (1 for the first), and with which error.
struct Failing {
  int call = 0;
  ASErrorCode error = kASErrGeneral;
  int seen = 0;
  // Counts a call; true when this one must fail.
  bool now()
  {
    ++seen;
    return call == 0 || seen == call;
  }
};

Failing gFontCreate;
Failing gSetContent;
Failing gSetContentCanRaise;
Failing gExtGStateCreate;
Failing gOpacity;

PDEFont failingFontCreate(PDEFontAttrsP attrs, ASUns32 size, ASInt32 first, ASInt32 last,
                          ASInt16* widths, char** encoding, ASAtom base, ASStm stm, ASInt32 l1,
                          ASInt32 l2, ASInt32 l3)
{
  if (gFontCreate.now()) Host::get().frames.raise(gFontCreate.error);
  return calls::PDEFontCreate(attrs, size, first, last, widths, encoding, base, stm, l1, l2, l3);
}

ASBool failingSetContent(PDPage page, ASExtension owner)
{
  if (gSetContent.now()) Host::get().frames.raise(gSetContent.error);
  return calls::PDPageSetPDEContent(page, owner);
}

void failingSetContentCanRaise(PDPage page, ASExtension owner)
{
  if (gSetContentCanRaise.now()) Host::get().frames.raise(gSetContentCanRaise.error);
  calls::PDPageSetPDEContentCanRaise(page, owner);
}

PDEExtGState failingExtGStateCreate(CosDoc cosDoc)
{
  if (gExtGStateCreate.now()) Host::get().frames.raise(gExtGStateCreate.error);
  return calls::PDEExtGStateCreateNew(cosDoc);
}

void failingOpacity(PDEExtGState state, ASFixed opacity)
{
  if (gOpacity.now()) Host::get().frames.raise(gOpacity.error);
  calls::PDEExtGStateSetOpacityFill(state, opacity);
}

AVDoc noView(PDDoc, ASText, AVDocOpenParams)
{
  return nullptr;
}

void failingPrint(AVDoc)
{
  Host::get().frames.raise(kASErrGeneral);
}

std::string textOf(ASErrorCode error)
{
  return pdfhost::errorText(error, Host::get().frames.detailOf(error));
}

}  // namespace

class PrintFaults : public PrintTest {
 protected:
  void TearDown() override
  {
    // A fresh host refills every table.
    gFontCreate = gSetContent = gSetContentCanRaise = gExtGStateCreate = gOpacity = Failing();
    PrintTest::TearDown();
  }
  pdfhost::HostTableSet& tables() { return Host::get().tables; }
};

struct FontCase {
  const char* name;
  int failingCall;
};

class FailingFont : public PrintFaults, public ::testing::WithParamInterface<FontCase> {};

TEST_P(FailingFont, OneAlertAndNothingIsDrawnSavedOrPrinted)
{
  gFontCreate = Failing{GetParam().failingCall, kASErrFontNotFound};
  tables().PDFEditWrite.PDEFontCreate = failingFontCreate;
  printTicket();
  EXPECT_EQ(seen.notes, std::vector<std::string>({textOf(kASErrFontNotFound)}));
  EXPECT_EQ(gFontCreate.seen, GetParam().failingCall) << "no font is made after the failure";
  EXPECT_FALSE(std::filesystem::exists(savedSheet()));
  EXPECT_EQ(logText().find("print job"), std::string::npos);
  // The fixture checks that the document, its page and the regular font were given back.
}

INSTANTIATE_TEST_SUITE_P(Fonts, FailingFont,
                         ::testing::Values(FontCase{"Regular", 1}, FontCase{"Bold", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintFaults, AFailedRowCommitIsToldAndTheSheetGoesOn)
{
  // Titles, heading, then "Order ID:": its commit is the fourth.
  gSetContent = Failing{4, kASErrPageContent};
  tables().PagePDEContent.PDPageSetPDEContent = failingSetContent;
  printTicket(nullptr, 0, {"ok", "print " + printedSheet()});
  EXPECT_EQ(seen.notes, std::vector<std::string>({textOf(kASErrPageContent)}));
  sheettest::Sheet printed = sheet();
  EXPECT_TRUE(printed.find("Order ID:").empty()) << "its content was never set";
  EXPECT_TRUE(printed.find("000").empty());
  ASSERT_EQ(printed.find("Job ID:").size(), 1u);
  EXPECT_EQ(printed.find("Job ID:")[0]->y, 3192) << "the next row keeps its place";
  bool separator = false;
  for (const auto& path : printed.paths)
    separator |=
        path.segments.size() == 2 && path.segments[0].operands == std::vector<double>{60, 3206};
  EXPECT_TRUE(separator) << "the failed row still has its separator";
  EXPECT_TRUE(std::filesystem::exists(printedSheet())) << "and the sheet is printed";
}

TEST_F(PrintFaults, AFailedHeadingStillLowersTheHeight)
{
  gSetContent = Failing{3, kASErrPageContent};
  tables().PagePDEContent.PDPageSetPDEContent = failingSetContent;
  printTicket();
  EXPECT_EQ(seen.notes.size(), 1u);
  sheettest::Sheet printed = sheet();
  EXPECT_TRUE(printed.find("JOB INFO (mandatory)").empty());
  ASSERT_EQ(printed.find("Order ID:").size(), 1u);
  EXPECT_EQ(printed.find("Order ID:")[0]->y, 3214);
}

TEST_F(PrintFaults, ASeparatorThatFailsIsToldBeforeItsRow)
{
  gSetContent = Failing{4, kASErrPageContent};
  gSetContentCanRaise = Failing{1, kASErrDiskFull};
  tables().PagePDEContent.PDPageSetPDEContent = failingSetContent;
  tables().PagePDEContent.PDPageSetPDEContentCanRaise = failingSetContentCanRaise;
  printTicket();
  EXPECT_EQ(seen.notes,
            std::vector<std::string>({textOf(kASErrDiskFull), textOf(kASErrPageContent)}));
}

struct FillCase {
  const char* name;
  bool failCreate;
};

class FailingTranslucentFill : public PrintFaults,
                               public ::testing::WithParamInterface<FillCase> {};

TEST_P(FailingTranslucentFill, AbandonsTheBandsSilently)
{
  if (GetParam().failCreate) {
    gExtGStateCreate = Failing{0, kASErrNoMemory};
    tables().PDFEditWrite.PDEExtGStateCreateNew = failingExtGStateCreate;
  } else {
    gOpacity = Failing{0, kASErrBadParameter};
    tables().PDFEditWrite.PDEExtGStateSetOpacityFill = failingOpacity;
  }
  printTicket();
  EXPECT_EQ(seen.notes, std::vector<std::string>()) << "no alert";
  int bands = 0;
  int frames = 0;
  for (const auto& path : sheet().paths)
    if (path.segments.size() == 1 && path.segments[0].operands.at(0) == 60) {
      bands += path.paint == "B";
      frames += path.paint == "S";
    }
  EXPECT_EQ(bands, 0);
  EXPECT_EQ(frames, 2) << "the frames are drawn";
  EXPECT_EQ(pdfVersionOf(savedSheet()), "1.3") << "nothing translucent: the new document's version";
  // The fixture checks that the extended graphic states, paths and colour spaces were released.
}

INSTANTIATE_TEST_SUITE_P(Steps, FailingTranslucentFill,
                         ::testing::Values(FillCase{"Create", true}, FillCase{"Opacity", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FolderCase {
  const char* name;
  std::function<std::string(const std::string& work)> folder;  // makes it, returns its path
  std::string note;  // "%s" stands for the folder
};

// The folder is named, with the setting that chooses it.
const std::string kSharedFolderDetail =
    " The folder is %s, the shared folder; the environment variable PDFHOST_SHARED_DIR chooses it.";

class SharedFolderProblem : public PrintFaults, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(SharedFolderProblem, IsToldClearlyAndNothingIsWritten)
{
  if (std::string(GetParam().name) == "Unwritable" && ::geteuid() == 0)
    GTEST_SKIP() << "a folder's permissions do not stop root (see the host test that drops them)";
  std::string folder = GetParam().folder(work_);
  ::setenv("PDFHOST_SHARED_DIR", folder.c_str(), 1);
  printTicket();
  std::string note = GetParam().note;
  if (std::size_t at = note.find("%s"); at != std::string::npos)
    note.replace(at, 2, folder);
  EXPECT_EQ(seen.notes, std::vector<std::string>({note}));
  EXPECT_FALSE(std::filesystem::exists(folder + "/pdfDoc.pdf"));
  EXPECT_EQ(logText().find("print job"), std::string::npos) << "nothing is printed";
  EXPECT_NE(logText().find("save failed: " + folder), std::string::npos) << logText();
  std::error_code ignored;
  if (std::filesystem::is_directory(folder))
    EXPECT_TRUE(std::filesystem::is_empty(folder, ignored)) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SharedFolderProblem,
    ::testing::Values(FolderCase{"Missing",
                                 [](const std::string& work) { return work + "/no-such-folder"; },
                                 textOf(kASErrFolderMissing) + kSharedFolderDetail},
                      FolderCase{"AFileInItsPlace",
                                 [](const std::string& work) {
                                   std::ofstream(work + "/a-file") << "not a folder";
                                   return work + "/a-file";
                                 },
                                 textOf(kASErrFolderIsFile) + kSharedFolderDetail},
                      FolderCase{"Unwritable",
                                 [](const std::string& work) {
                                   std::filesystem::create_directory(work + "/read-only");
                                   ::chmod((work + "/read-only").c_str(), 0555);
                                   return work + "/read-only";
                                 },
                                 textOf(kASErrFolderPermission) + kSharedFolderDetail}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintFaults, TheDefaultSharedFolderIsMadeOnDemand)
{
  ::unsetenv("PDFHOST_SHARED_DIR");
  std::string data = work_ + "/data";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  printTicket();
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(seen.notes, std::vector<std::string>());
  EXPECT_TRUE(std::filesystem::exists(data + "/pdfhost/Shared/pdfDoc.pdf"));
}

TEST_F(PrintFaults, APrintJobThatFailsIsToldByTheHostAndTheViewIsClosed)
{
  printTicket(nullptr, 0, {"print " + work_ + "/no-such-folder/printed.pdf"});
  ASSERT_EQ(seen.notes.size(), 1u);
  EXPECT_EQ(seen.notes[0].rfind("The document could not be printed: " + work_, 0), 0u)
      << seen.notes[0];
  EXPECT_NE(logText().find("view closed: pdfDoc.pdf"), std::string::npos);
}

TEST_F(PrintFaults, APrintCallThatRaisesIsToldAndTheViewIsClosed)
{
  tables().AcroView.AVDocDoPrint = failingPrint;
  printTicket();
  EXPECT_EQ(seen.notes, std::vector<std::string>({textOf(kASErrGeneral)}));
  EXPECT_NE(logText().find("view closed: pdfDoc.pdf"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(savedSheet()));
}

TEST_F(PrintFaults, WithoutAViewTheSheetStaysSavedAndTheDocumentIsReleased)
{
  tables().AcroView.AVDocOpenFromPDDocWithParams = noView;
  printTicket();
  EXPECT_EQ(seen.notes, std::vector<std::string>());
  EXPECT_TRUE(std::filesystem::exists(savedSheet()));
  EXPECT_EQ(logText().find("print job"), std::string::npos);
  // The fixture checks that the document was released.
}
