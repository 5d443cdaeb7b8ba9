// A document's file, path names handed to plug-ins and released by them, and device-independent
// path texts, as the tables hand them out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "HostFixture.h"

using namespace pdfhost;

namespace {

class FilesAndPaths : public HostTest {
 protected:
  AcroSupportHFT& support() { return Host::get().tables.AcroSupport; }
  PDModelHFT& model() { return Host::get().tables.PDModel; }

  PDDoc openSample()
  {
    OpenFailure failure;
    AVDoc view = Host::get().documents.open(TVP_SAMPLE_PDF, &failure);
    EXPECT_NE(view, nullptr) << failure.message;
    return view != nullptr ? view->pdDoc.get() : nullptr;
  }

  // The device-independent text of a path name, freed as a plug-in frees it.
  std::string diText(ASPathName path, ASPathName base = nullptr)
  {
    char* text = support().ASFileSysDIPathFromPath(support().ASGetDefaultFileSys(), path, base);
    std::string copy = text;
    support().ASfree(text);
    return copy;
  }

  // A path name for any path, as if a file there had handed it out.
  ASPathName pathFor(const std::string& path)
  {
    _t_ASFile file{path};
    return support().ASFileAcquirePathName(&file);
  }
};

std::string absolute(const std::string& path)
{
  return std::filesystem::absolute(path).lexically_normal().string();
}

}  // namespace

TEST_F(FilesAndPaths, ADocumentLendsItsFileUnderItsAbsolutePath)
{
  PDDoc doc = openSample();
  ASFile file = model().PDDocGetFile(doc);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->path, absolute(TVP_SAMPLE_PDF));
  EXPECT_EQ(model().PDDocGetFile(doc), file) << "the same file every time, nothing to release";
}

TEST_F(FilesAndPaths, APathNameIsCountedUntilReleased)
{
  PDDoc doc = openSample();
  Host& host = Host::get();
  ASPathName path = support().ASFileAcquirePathName(model().PDDocGetFile(doc));
  ASPathName again = support().ASFileAcquirePathName(model().PDDocGetFile(doc));
  EXPECT_NE(path, again) << "each acquisition is a path name of its own";
  EXPECT_EQ(host.live.paths, 2);
  EXPECT_EQ(diText(path), absolute(TVP_SAMPLE_PDF));
  support().ASFileSysReleasePath(support().ASGetDefaultFileSys(), path);
  support().ASFileSysReleasePath(nullptr, again);  // null stands for the default file system
  EXPECT_EQ(host.live.paths, 0);
  support().ASFileSysReleasePath(nullptr, nullptr);
  EXPECT_EQ(host.live.paths, 0);
}

TEST_F(FilesAndPaths, ReleasingTwiceOrAForeignPathRaisesAndFreesNothing)
{
  ASPathName path = pathFor("/tmp/ad.pdf");
  support().ASFileSysReleasePath(nullptr, path);
  EXPECT_THROW(support().ASFileSysReleasePath(nullptr, path), HostError);
  EXPECT_EQ(Host::get().frames.lastError(), kASErrBadParameter);
  _t_ASPathName foreign{"/tmp/ad.pdf"};
  EXPECT_THROW(support().ASFileSysReleasePath(nullptr, &foreign), HostError);
  EXPECT_THROW(support().ASFileSysDIPathFromPath(nullptr, path, nullptr), HostError)
      << "a released path name is no longer usable";
  EXPECT_EQ(Host::get().live.paths, 0);
}

TEST_F(FilesAndPaths, BadArgumentsRaiseABadParameterError)
{
  char somewhereElse = 0;
  PDDoc stranger = reinterpret_cast<PDDoc>(&somewhereElse);  // only ever compared
  _t_ASFileSys otherFileSys{"other"};
  ASPathName path = pathFor("/tmp/ad.pdf");
  const std::pair<const char*, std::function<void()>> calls[] = {
      {"file of no document", [&] { model().PDDocGetFile(nullptr); }},
      {"file of a document not open", [&] { model().PDDocGetFile(stranger); }},
      {"text of no path", [&] { support().ASFileSysDIPathFromPath(nullptr, nullptr, nullptr); }},
      {"another file system",
       [&] { support().ASFileSysDIPathFromPath(&otherFileSys, path, nullptr); }},
      {"release on another file system",
       [&] { support().ASFileSysReleasePath(&otherFileSys, path); }},
  };
  for (const auto& [name, call] : calls) {
    EXPECT_THROW(call(), HostError) << name;
    EXPECT_EQ(Host::get().frames.lastError(), kASErrBadParameter) << name;
  }
  EXPECT_EQ(Host::get().live.paths, 1) << "nothing released by a refused call";
  support().ASFileSysReleasePath(nullptr, path);
}

TEST_F(FilesAndPaths, DeviceIndependentTexts)
{
  const struct {
    const char* path;
    const char* base;
    const char* text;
  } cases[] = {
      {"/work/ads/ad.pdf", nullptr, "/work/ads/ad.pdf"},
      {"/work/ads/ad.pdf", "/work/ads/ticket.xml", "ad.pdf"},
      {"/work/ads/2024/ad.pdf", "/work/ads/ticket.xml", "2024/ad.pdf"},
      {"/work/other/ad.pdf", "/work/ads/ticket.xml", "../other/ad.pdf"},
      {"/work/M\xC3\xBCller.pdf", nullptr, "/work/M\xC3\xBCller.pdf"},
      // A file name that is not UTF-8 still gives valid text.
      {"/work/M\xFCller.pdf", nullptr, "/work/M\xEF\xBF\xBDller.pdf"},
  };
  for (const auto& c : cases) {
    ASPathName path = pathFor(c.path);
    ASPathName base = c.base != nullptr ? pathFor(c.base) : nullptr;
    EXPECT_EQ(diText(path, base), c.text) << c.path;
    support().ASFileSysReleasePath(nullptr, path);
    support().ASFileSysReleasePath(nullptr, base);
  }
  EXPECT_EQ(Host::get().live.paths, 0);
}

TEST_F(FilesAndPaths, DocumentsOpenedByARelativePathGetAnAbsoluteFile)
{
  std::filesystem::path sample(TVP_SAMPLE_PDF);
  std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(sample.parent_path());
  OpenFailure failure;
  AVDoc view = Host::get().documents.open(sample.filename().string(), &failure);
  std::filesystem::current_path(here);
  ASSERT_NE(view, nullptr) << failure.message;
  EXPECT_EQ(view->pdDoc->file->path, absolute(TVP_SAMPLE_PDF));
}

TEST_F(FilesAndPaths, ResetDropsPathNamesLeftBehind)
{
  pathFor("/tmp/left.pdf");
  EXPECT_EQ(Host::get().pathNames.count(), 1u);
  Host::get().reset();
  EXPECT_EQ(Host::get().pathNames.count(), 0u);
  EXPECT_EQ(Host::get().live.paths, 0);
}
