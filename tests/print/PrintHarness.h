// Prints ticket sheets in-process: the dialog driven as a user would, the headless host's print
// answers, a shared folder of the test's own, and checks that the command leaves no host object
// behind.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "../support/TestFiles.h"
#include "../dialog/DialogHarness.h"
#include "SheetReader.h"

namespace printtest {

using namespace dialogtest;

// The ticket of the layout's edge cases: every text short enough for one line, "B/W", and the
// size choice as given (0 "Fixed size", 1 "Width/height").
inline void fillTicket(int sizeChoice = 0)
{
  const std::map<int, wxString> values = {
      {ID_TVP_EDIORDERID, "000"},        {ID_TVP_JOBID, "ad-2024-17.pdf"},
      {ID_TVP_CLIENT, "Media House"},    {ID_TVP_AGENCY, "Creative Ltd"},
      {ID_TVP_SERVICE, "Print Office"},  {ID_TVP_ADVERTISER, "Acme Coffee"},
      {ID_TVP_FIRSTPUB, "01022025"},     {ID_TVP_LOCATION, "Weekly News"},
      {ID_TVP_THEME, "Spring sale"},     {ID_TVP_SPOTCOLOUR, "Pantone 286"},
      {ID_TVP_CONTACT, "Jane Roe"},      {ID_TVP_PHONE, "+31 20 555 0100"},
      {ID_TVP_EMAIL, "ads@example.com"}, {ID_TVP_FIXEDSIZE, "1/2 page"},
      {ID_TVP_MMWIDTH, "210"},           {ID_TVP_CWIDTH, "4"},
      {ID_TVP_HEIGHT, "297"},            {ID_TVP_BLEED, "yes"},
      {ID_TVP_BRAND, "Acme"},            {ID_TVP_FAX, "+31 20 555 0101"},
      {ID_TVP_DESTINATION, "Prepress"},  {ID_TVP_REMARKS, "Handle with care"},
  };
  for (const auto& [id, value] : values)
    setText(id, value);
  radioBox(ID_TVP_JOB_PAGE)->SetSelection(0);
  radioBox(ID_TVP_EXTRA_PAGE)->SetSelection(sizeChoice);
}

using testfiles::readFile;
using testfiles::shell;

// The PDF version poppler reads from a file ("PDF version: 1.4"), or empty.
inline std::string pdfVersionOf(const std::string& path)
{
  std::istringstream info(shell("pdfinfo '" + path + "'"));
  const std::string key = "PDF version:";
  for (std::string line; std::getline(info, line);)
    if (line.compare(0, key.size(), key) == 0)
      return line.substr(line.find_first_not_of(' ', key.size()));
  return "";
}

class PrintTest : public DialogTest {
 protected:
  void SetUp() override
  {
    DialogTest::SetUp();
    char folder[] = "/tmp/tvp-print-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    work_ = folder;
    shared_ = work_ + "/Shared";
    std::filesystem::create_directory(shared_);
    ::setenv("PDFHOST_SHARED_DIR", shared_.c_str(), 1);
  }

  void TearDown() override
  {
    const pdfhost::LiveObjects& live = pdfhost::Host::get().live;
    EXPECT_EQ(live.documents, 0) << "a document was left";
    EXPECT_EQ(live.views, 0) << "a view was left";
    EXPECT_EQ(live.pages, 0) << "a page was left";
    EXPECT_EQ(live.contents, 0) << "a page's content was left acquired";
    EXPECT_EQ(live.elements, 0) << "a text or path was left";
    EXPECT_EQ(live.fonts, 0) << "a font was left";
    EXPECT_EQ(live.colorSpaces, 0) << "a colour space was left";
    EXPECT_EQ(live.extGStates, 0) << "an extended graphic state was left";
    ::unsetenv("PDFHOST_SHARED_DIR");
    std::error_code ignored;
    std::filesystem::permissions(work_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(work_, ignored);
    DialogTest::TearDown();
  }

  // The saved sheet and where the headless print job goes.
  std::string savedSheet() const { return shared_ + "/pdfDoc.pdf"; }
  std::string printedSheet() const { return work_ + "/printed.pdf"; }

  // Opens the dialog, fills the ticket, lets `edit` change it, clicks Print (the print dialog
  // answered with "print PATH") and closes the dialog.
  void printTicket(std::function<void()> edit = nullptr, int sizeChoice = 0,
                   std::deque<std::string> answers = {})
  {
    openDocument(TVP_SAMPLE_PDF);
    runCommand([&](TVPTabDialog&) {
      fillTicket(sizeChoice);
      if (edit)
        edit();
      if (answers.empty())
        answers.push_back("print " + printedSheet());
      answer(answers);
      click(ID_TVP_PRINT);
      closeDialog();
    });
  }

  sheettest::Sheet sheet() const { return sheettest::readSheet(savedSheet()); }

  std::string work_;
  std::string shared_;
};

}  // namespace printtest
