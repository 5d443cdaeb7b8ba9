// Metadata saved as an incremental update: the original bytes stay a prefix, the update is of
// the file's own cross-reference kind, and a failed save leaves the file byte-identical.
#include <gtest/gtest.h>

#include <qpdf/QPDF.hh>

#include <sys/resource.h>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Host.h"
#include "documents/IncrementalSave.h"
#include "documents/XmpPacket.h"
#include "../support/TestFiles.h"

using namespace pdfhost;

namespace {

const char* const kTvp = "http://ns.tovarin.com/tvp/adticket/1.0/";

using testfiles::readFile;
using testfiles::shell;
using testfiles::writeFile;

struct Saved {
  std::string before;
  std::string after;
};

// Saves a packet into a copy of a PDF the way the host does, and returns both versions.
Saved saveInto(const std::string& path, const std::string& packet)
{
  Saved saved{readFile(path), ""};
  QPDF pdf;
  pdf.setSuppressWarnings(true);
  pdf.processFile(path.c_str());
  appendMetadataUpdate(pdf, path, FileIdentity::of(path), packet);
  saved.after = readFile(path);
  return saved;
}

std::string readMetadata(const std::string& path)
{
  QPDF pdf;
  pdf.processFile(path.c_str());
  auto data = pdf.getRoot().getKey("/Metadata").getStreamData();
  return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

class IncrementalSave : public ::testing::Test {
 protected:
  void SetUp() override
  {
    path_ = "/tmp/tvp-incremental-" + std::to_string(::getpid()) + ".pdf";
    writeFile(path_, readFile(TVP_SAMPLE_PDF));
  }
  void TearDown() override
  {
    ::chmod(path_.c_str(), 0644);
    std::remove(path_.c_str());
  }
  std::string path_;
};

}  // namespace

TEST(XmpPacketEditing, SetsOneAndKeepsEveryOtherProperty)
{
  std::string packet = readMetadata(TVP_SAMPLE_PDF);
  std::string edited = setXmpProperty(packet, kTvp, "tvp", "jobid", "J-77 M\xC3\xBCller \xE2\x82\xAC");
  edited = setXmpProperty(edited, "http://adsml.org/xmlns/", "adsml-at", "Profile", "GWG-v1_AD");
  EXPECT_NE(edited.find("Summer Sale ad"), std::string::npos) << "dc:title kept";
  EXPECT_NE(edited.find("hand-written sample"), std::string::npos) << "xmp:CreatorTool kept";
  EXPECT_NE(edited.find("J-77 M\xC3\xBCller \xE2\x82\xAC"), std::string::npos);
  EXPECT_NE(edited.find("adsml-at:Profile"), std::string::npos);
  EXPECT_TRUE(isParsableXmp(edited));
  EXPECT_NE(setXmpProperty("", kTvp, "tvp", "email", "a@b.c").find("a@b.c"), std::string::npos)
      << "an empty packet starts a new one";
  EXPECT_THROW(setXmpProperty("<x:xmpmeta><broken", kTvp, "tvp", "email", "x"), XmpFailure);
}

// A packet with one description that binds `uri` to `prefix` and holds one property.
std::string packetBinding(const std::string& uri, const std::string& prefix,
                          const std::string& more = "")
{
  return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
         "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
         "xmlns:" + prefix + "='" + uri + "'><" + prefix + ":old>kept</" + prefix + ":old>" + more +
         "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

TEST(XmpPacketEditing, TheCallersPrefixWinsAndADocumentsPrefixesStayOutOfTheRegistry)
{
  // Namespaces of this test only: exempi's registry lives as long as the process.
  const std::string asked = "http://example.com/prefix-test/asked/";
  const std::string seen = "http://example.com/prefix-test/seen/";
  const std::string other = "http://example.com/prefix-test/other/";

  std::string edited =
      applyXmpProperties(packetBinding(asked, "doc", "<oth:keep xmlns:oth='" + other + "'>v</oth:keep>"),
                         {{asked, "wanted", "new", "1"}, {asked, "wanted", "more", "2"}});
  EXPECT_NE(edited.find("xmlns:wanted=\"" + asked + "\""), std::string::npos) << edited;
  EXPECT_NE(edited.find("<wanted:old>kept</wanted:old>"), std::string::npos) << edited;
  EXPECT_NE(edited.find("<wanted:more>2</wanted:more>"), std::string::npos) << edited;
  EXPECT_EQ(edited.find("doc:"), std::string::npos) << edited;
  EXPECT_NE(edited.find("<oth:keep xmlns:oth='" + other + "'>v</oth:keep>"), std::string::npos)
      << "another schema's property stays as it was written";
  EXPECT_TRUE(isParsableXmp(edited));
  std::string again = applyXmpProperties(edited, {{asked, "wanted", "new", "3"}});
  EXPECT_EQ(again.find("<oth:keep"), again.rfind("<oth:keep")) << "saved again, kept once: " << again;
  EXPECT_NE(again.find("<wanted:new>3</wanted:new>"), std::string::npos) << again;

  // A packet parsed before anyone asks for its namespace leaves no prefix behind.
  ASSERT_TRUE(isParsableXmp(packetBinding(seen, "theirs")));
  edited = applyXmpProperties(packetBinding(seen, "theirs"), {{seen, "mine", "new", "1"}});
  EXPECT_NE(edited.find("xmlns:mine=\"" + seen + "\""), std::string::npos) << edited;
  EXPECT_NE(edited.find("<mine:old>kept</mine:old>"), std::string::npos) << edited;
}

struct RefusedPacket {
  const char* what;
  std::string packet;
  const char* because;  // in the failure's text
};

TEST(XmpPacketEditing, APacketExempiCannotTakeIsRefusedWithoutAWordOnStandardError)
{
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  const RefusedPacket cases[] = {
      {"not XML", "<x:xmpmeta><broken", "not well-formed"},
      {"a document type", "<!DOCTYPE x [<!ENTITY e 'e'>]><x:xmpmeta xmlns:x='adobe:ns:meta/'/>",
       "DOCTYPE is not allowed"},
      {"nested 100,000 deep", packetBinding(kTvp, "tvp", deep), "nested deeper than 1000"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    std::string failure;
    try {
      setXmpProperty(c.packet, kTvp, "tvp", "email", "x");
    } catch (XmpFailure& refused) {
      failure = refused.what();
    }
    EXPECT_FALSE(isParsableXmp(c.packet)) << c.what;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << c.what;
    EXPECT_NE(failure.find(c.because), std::string::npos) << c.what << ": " << failure;
  }
}

struct DepthCase {
  std::string text;
  std::size_t depth;
};

TEST(XmpPacketEditing, DepthIsCountedOverElementsOnly)
{
  const DepthCase cases[] = {
      {"<a><b/><c><d></d></c></a>", 3},
      {"<a><!-- <b><c> --><![CDATA[<d><e>]]><?pi <f>?></a>", 1},
      {"<a x='<b>' y=\"/>\"><c></c></a>", 2},
      {"<!DOCTYPE a [<!ELEMENT a ANY>]><a></a>", 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(xmlDepth(c.text, kMaxXmpDepth), c.depth) << c.text;
  std::string deepest;
  for (std::size_t i = 0; i < kMaxXmpDepth - 3; ++i) deepest += "<tvp:n rdf:parseType='Resource'>";
  for (std::size_t i = 0; i < kMaxXmpDepth - 3; ++i) deepest += "</tvp:n>";
  EXPECT_TRUE(isParsableXmp(packetBinding(kTvp, "tvp", deepest))) << "the limit itself is taken";
}

TEST_F(IncrementalSave, TableFileKeepsItsBytesAndGainsATableSection)
{
  std::string packet = setXmpProperty(readMetadata(path_), kTvp, "tvp", "jobid", "J-1");
  Saved saved = saveInto(path_, packet);
  ASSERT_GT(saved.after.size(), saved.before.size());
  EXPECT_EQ(saved.after.compare(0, saved.before.size(), saved.before), 0) << "original is a prefix";
  std::string update = saved.after.substr(saved.before.size());
  EXPECT_NE(update.find("\nxref\n"), std::string::npos) << update;
  EXPECT_NE(update.find("/Prev "), std::string::npos);
  EXPECT_NE(update.find("/Info 8 0 R"), std::string::npos) << "original /Info kept";
  EXPECT_EQ(update.substr(update.size() - 6), "%%EOF\n");
  EXPECT_NE(shell("qpdf --check " + path_).find("No syntax or stream encoding errors"),
            std::string::npos);
  EXPECT_NE(shell("exiftool -XMP-dc:Title -b " + path_).find("Summer Sale ad"), std::string::npos);
  EXPECT_EQ(readMetadata(path_), packet);
}

TEST_F(IncrementalSave, CrossReferenceStreamFileGainsAStream)
{
  std::string streams = path_ + ".streams.pdf";
  shell("qpdf --object-streams=generate " + path_ + " " + streams);
  ASSERT_NE(readFile(streams).find("/XRef"), std::string::npos) << "the fixture uses streams";
  std::string packet = setXmpProperty(readMetadata(streams), kTvp, "tvp", "jobid", "J-2");
  Saved saved = saveInto(streams, packet);
  std::string update = saved.after.substr(saved.before.size());
  EXPECT_EQ(saved.after.compare(0, saved.before.size(), saved.before), 0);
  EXPECT_EQ(update.find("\nxref\n"), std::string::npos) << "no table after a stream";
  EXPECT_NE(update.find("/Type /XRef"), std::string::npos);
  EXPECT_NE(shell("qpdf --check " + streams).find("No syntax or stream encoding errors"),
            std::string::npos)
      << shell("qpdf --check " + streams);
  EXPECT_EQ(readMetadata(streams), packet);
  // A second save chains onto the first.
  std::string again = setXmpProperty(packet, kTvp, "tvp", "jobid", "J-3");
  saveInto(streams, again);
  EXPECT_EQ(readMetadata(streams), again);
  EXPECT_NE(shell("qpdf --check " + streams).find("No syntax or stream encoding errors"),
            std::string::npos);
  std::remove(streams.c_str());
}

TEST_F(IncrementalSave, DocumentWithoutMetadataGainsAStreamAndACatalog)
{
  std::string bare = path_ + ".bare.pdf";
  shell("qpdf --empty --pages " + path_ + " -- " + bare);
  QPDF check;
  check.processFile(bare.c_str());
  if (check.getRoot().hasKey("/Metadata")) {
    std::remove(bare.c_str());
    GTEST_SKIP() << "this qpdf cannot remove metadata";
  }
  std::string packet = setXmpProperty("", kTvp, "tvp", "email", "ads@example.com");
  Saved saved = saveInto(bare, packet);
  EXPECT_EQ(saved.after.compare(0, saved.before.size(), saved.before), 0);
  EXPECT_EQ(readMetadata(bare), packet);
  EXPECT_NE(shell("qpdf --check " + bare).find("No syntax or stream encoding errors"),
            std::string::npos);
  std::remove(bare.c_str());
}

struct Refused {
  const char* name;
  ASErrorCode code;
};

TEST_F(IncrementalSave, RefusedSavesLeaveTheFileByteIdentical)
{
  std::string original = readFile(path_);
  std::string packet = setXmpProperty(readMetadata(path_), kTvp, "tvp", "jobid", "J-4");
  auto attempt = [&](auto prepare) -> ASErrorCode {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path_.c_str());
    FileIdentity identity = FileIdentity::of(path_);
    prepare(identity);
    try {
      appendMetadataUpdate(pdf, path_, identity, packet);
    } catch (SaveFailure& failure) {
      return failure.code();
    }
    return kASErrNone;
  };

  EXPECT_EQ(attempt([&](FileIdentity&) { ::chmod(path_.c_str(), 0444); }), kASErrFilePermission);
  ::chmod(path_.c_str(), 0644);
  EXPECT_EQ(readFile(path_), original);

  EXPECT_EQ(attempt([&](FileIdentity&) {
              std::ofstream(path_, std::ios::binary | std::ios::app) << "% appended elsewhere\n";
            }),
            kASErrFileChanged);
  writeFile(path_, original);

  std::string moved = path_ + ".moved";
  EXPECT_EQ(attempt([&](FileIdentity&) { std::rename(path_.c_str(), moved.c_str()); }),
            kASErrFileNotFound);
  std::rename(moved.c_str(), path_.c_str());
  EXPECT_EQ(readFile(path_), original);
}

TEST_F(IncrementalSave, AWriteThatFailsHalfWayIsCutBack)
{
  std::string original = readFile(path_);
  std::string packet = setXmpProperty(readMetadata(path_), kTvp, "tvp", "remarks",
                                      std::string(4000, 'r'));
  QPDF pdf;
  pdf.processFile(path_.c_str());
  FileIdentity identity = FileIdentity::of(path_);
  // The file may grow by only 100 bytes: the write fails part of the way through, with EFBIG
  // since the host's start-up ignores SIGXFSZ.
  Host::get();
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit limited = saved;
  limited.rlim_cur = static_cast<rlim_t>(original.size() + 100);
  ::setrlimit(RLIMIT_FSIZE, &limited);
  ASErrorCode code = kASErrNone;
  try {
    appendMetadataUpdate(pdf, path_, identity, packet);
  } catch (SaveFailure& failure) {
    code = failure.code();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(code, kASErrDiskFull);
  EXPECT_EQ(readFile(path_), original) << "cut back to the original bytes";
}

struct HeaderCase {
  const char* what;
  std::string before;  // bytes before the header; qpdf counts the file's offsets from its header
  bool objectStreams;
};

TEST_F(IncrementalSave, OffsetsCountFromTheHeaderQpdfReads)
{
  const HeaderCase cases[] = {
      {"at 0, table", "", false},
      {"at 0, object streams", "", true},
      {"at 100, table", std::string(99, 'x') + "\n", false},
      {"at 100, object streams", std::string(99, 'x') + "\n", true},
      {"at 1021, table", std::string(1020, 'x') + "\n", false},
      {"at 1021, object streams", std::string(1020, 'x') + "\n", true},
      {"after an invalid header, table", "%PDF-x\n", false},
      {"after an invalid header, object streams", "%PDF-1x\n", true},
  };
  std::string made = path_ + ".made.pdf";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    shell(std::string("qpdf ") + (c.objectStreams ? "--object-streams=generate " : "") +
          TVP_SAMPLE_PDF + " " + made);
    writeFile(path_, c.before + readFile(made));
    ASSERT_EQ(shell("qpdf --check " + path_ + " | grep -ci warning"), "0\n") << "read as it is";
    std::string original = readFile(path_);
    std::string packet = setXmpProperty(readMetadata(path_), kTvp, "tvp", "jobid", c.what);
    try {
      saveInto(path_, packet);
    } catch (SaveFailure& refused) {
      EXPECT_EQ(readFile(path_), original) << "refused, byte-identical: " << refused.what();
      continue;
    }
    std::string check = shell("qpdf --check " + path_);
    EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    EXPECT_EQ(readMetadata(path_), packet);
  }
  std::remove(made.c_str());
}

TEST_F(IncrementalSave, EncryptedDocumentsAreNotChanged)
{
  std::string locked = path_ + ".locked.pdf";
  shell("qpdf --encrypt '' owner 256 -- " + path_ + " " + locked);
  std::string before = readFile(locked);
  QPDF pdf;
  pdf.processFile(locked.c_str());
  ASSERT_TRUE(pdf.isEncrypted());
  try {
    appendMetadataUpdate(pdf, locked, FileIdentity::of(locked), "x");
    FAIL() << "saved an encrypted document";
  } catch (SaveFailure& failure) {
    EXPECT_EQ(failure.code(), kASErrDocEncrypted);
  }
  EXPECT_EQ(readFile(locked), before);
  std::remove(locked.c_str());
}
