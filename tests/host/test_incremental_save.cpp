// Metadata saved as an incremental update: the original bytes stay a prefix, the update is of
// the file's own cross-reference kind, and a failed save leaves the file byte-identical.
#include <gtest/gtest.h>

#include <exempi/xmp.h>
#include <expat.h>
#include <qpdf/QPDF.hh>

#include <sys/resource.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

#include "HostFixture.h"
#include "calls/CallSupport.h"
#include "support/Texts.h"
#include "documents/IncrementalSave.h"
#include "documents/XmpPacket.h"
#include "../metadata/TicketFiles.h"
#include "../support/TestFiles.h"

using namespace pdfhost;

namespace {

const char* const kTvp = "http://ns.tovarin.com/tvp/adticket/1.0/";

using testfiles::readFile;
using testfiles::shell;
using testfiles::writeFile;

std::string setXmpProperty(const std::string& packet, const std::string& uri,
                           const std::string& prefix, const std::string& name,
                           const std::string& value)
{
  return applyXmpProperties(packet, {{uri, prefix, name, value}});
}

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

// A packet with one description that binds `uri` to `prefix` and holds one property.
std::string packetBinding(const std::string& uri, const std::string& prefix,
                          const std::string& more = "")
{
  return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
         "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
         "xmlns:" + prefix + "='" + uri + "'><" + prefix + ":old>kept</" + prefix + ":old>" + more +
         "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

// The prefixes a packet writes names of a namespace with, as expat reads them.
std::set<std::string> prefixesOf(const std::string& packet, const std::string& uri)
{
  struct Seen {
    std::string uri;
    std::set<std::string> prefixes;
    void add(const char* name)
    {
      std::string text(name);
      std::size_t first = text.find('\x01');
      std::size_t second = text.find('\x01', first + 1);
      if (first != std::string::npos && text.compare(0, first, uri) == 0)
        prefixes.insert(second == std::string::npos ? "" : text.substr(second + 1));
    }
  } seen{uri, {}};
  XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
  XML_SetReturnNSTriplet(parser, 1);
  XML_SetUserData(parser, &seen);
  XML_SetStartElementHandler(parser, [](void* data, const char* name, const char** attributes) {
    auto* s = static_cast<Seen*>(data);
    s->add(name);
    for (const char** a = attributes; *a != nullptr; a += 2)
      s->add(*a);
  });
  bool parsed = XML_Parse(parser, packet.data(), static_cast<int>(packet.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  EXPECT_TRUE(parsed) << packet;
  return seen.prefixes;
}

// A property's value as exempi reads it from a packet; "<none>" when it has none.
std::string exempiValue(const std::string& packet, const std::string& uri, const std::string& path)
{
  ensureExempi();
  XmpPtr xmp = xmp_new(packet.data(), packet.size());
  if (xmp == nullptr)
    return "<not parsed>";
  XmpStringPtr value = xmp_string_new();
  std::string text = xmp_get_property(xmp, uri.c_str(), path.c_str(), value, nullptr)
                         ? xmp_string_cstr(value)
                         : "<none>";
  xmp_string_free(value);
  xmp_free(xmp);
  return text;
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
  // The document's own property keeps its prefix; what the calls set has the caller's.
  EXPECT_EQ(prefixesOf(edited, asked), (std::set<std::string>{"doc", "wanted"})) << edited;
  EXPECT_EQ(prefixesOf(edited, other), std::set<std::string>{"oth"}) << "another schema's prefix";
  EXPECT_EQ(exempiValue(edited, asked, "old"), "kept");
  EXPECT_EQ(exempiValue(edited, asked, "more"), "2");
  std::string again = applyXmpProperties(edited, {{asked, "wanted", "new", "3"}});
  EXPECT_EQ(exempiValue(again, other, "keep"), "v") << "saved again, kept once: " << again;
  EXPECT_EQ(exempiValue(again, asked, "new"), "3");

  // A packet read before anyone asks for its namespace leaves no prefix behind.
  ASSERT_TRUE(isParsableXmp(packetBinding(seen, "theirs")));
  EXPECT_FALSE(xmp_namespace_prefix(seen.c_str(), nullptr));
  edited = applyXmpProperties(packetBinding(seen, "theirs"), {{seen, "mine", "new", "1"}});
  EXPECT_EQ(prefixesOf(edited, seen), (std::set<std::string>{"theirs", "mine"})) << edited;
  XmpStringPtr prefix = xmp_string_new();
  ASSERT_TRUE(xmp_namespace_prefix(seen.c_str(), prefix));
  EXPECT_STREQ(xmp_string_cstr(prefix), "mine:");
  xmp_string_free(prefix);
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
       "document type"},
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

// ---------------------------------------------------------------------------------------------
// Packets of many shapes saved into PDFs through the host's calls, as the dialog's Save makes
// them, and read back by exempi and exiftool.

namespace {

const char* const kDc = "http://purl.org/dc/elements/1.1/";
const char* const kOther = "http://example.com/other-schema/";

std::string packetOf(const std::string& attributes, const std::string& body)
{
  return "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
         " <rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
         "  <rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'\n"
         "    xmlns:tvp='http://ns.tovarin.com/tvp/adticket/1.0/'\n"
         "    xmlns:o='http://example.com/other-schema/'" + attributes + ">\n"
         "   <dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Sommerfest &amp; more</rdf:li>"
         "<rdf:li xml:lang='de-DE'>Stra\xC3\x9F" "enfest</rdf:li></rdf:Alt></dc:title>\n" +
         body + "\n  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>";
}

// UTF-8 text as UTF-16LE with its byte-order mark (characters of the basic plane).
std::string utf16(const std::string& text)
{
  std::string out = "\xFF\xFE";
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    unsigned code = c;
    std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
    if (length > 1)
      code = c & (length == 2 ? 0x1F : 0x0F);
    for (std::size_t k = 1; k < length; ++k)
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out += static_cast<char>(code & 0xFF);
    out += static_cast<char>(code >> 8);
    i += length;
  }
  return out;
}

// Run-length encoding with literal runs only.
std::string runLength(const std::string& bytes)
{
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += 128) {
    std::string run = bytes.substr(at, 128);
    out += static_cast<char>(run.size() - 1);
    out += run;
  }
  return out + '\x80';
}

std::string pdfWith(const std::optional<std::string>& stream, const std::string& filter,
                    bool shared)
{
  return tickettest::minimalPdf(stream, filter, shared);
}

// What a reader finds after the save: exempi at `path` of `uri` (none when empty) and exiftool
// as `tag` (none when empty).
struct ReadBack {
  std::string uri;
  std::string path;
  std::string tag;
  std::string value;
};

struct PacketCase {
  std::string name;
  std::string pdf;
  std::vector<XmpProperty> calls;
  ASErrorCode refused;  // the call's raise; kASErrNone when the save goes through
  std::vector<ReadBack> readBack;
  std::vector<std::pair<std::string, std::string>> prefixes;  // namespace, the one prefix
};

XmpProperty ticket(const std::string& name, const std::string& value)
{
  return {kTvp, "tvp", name, value};
}

std::string streamOf(const std::string& path, const std::string& which)
{
  QPDF pdf;
  pdf.processFile(path.c_str());
  QPDFObjectHandle holder =
      which == "page" ? pdf.getAllPages().front() : pdf.getRoot();
  auto data = holder.getKey("/Metadata").getStreamData(qpdf_dl_all);
  return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

ASText textOf(const std::string& text)
{
  return pdfhost::calls::ASTextFromEncoded(text.c_str(), 0);
}

// The calls the dialog's Save makes: the properties, the packet read and handed back, the save.
// The code of the first raise; nothing after it runs.
ASErrorCode saveAsTheDialogDoes(PDDoc doc, const std::vector<XmpProperty>& calls)
{
  using namespace pdfhost::calls;
  try {
    for (const XmpProperty& call : calls) {
      ASText texts[4] = {textOf(call.namespaceUri), textOf(call.prefix), textOf(call.name),
                         textOf(call.value)};
      auto destroy = [&] {
        for (ASText text : texts)
          ASTextDestroy(text);
      };
      try {
        PDDocSetXAPMetadataProperty(doc, texts[0], texts[1], texts[2], texts[3]);
      } catch (...) {
        destroy();
        throw;
      }
      destroy();
    }
    ASText packet = PDDocGetXAPMetadata(doc);
    PDDocSetXAPMetadata(doc, packet);
    ASTextDestroy(packet);
    PDDocSave(doc, PDSaveIncremental, nullptr, nullptr, nullptr, nullptr);
  } catch (HostError& error) {
    return error.code();
  }
  return kASErrNone;
}

class PacketsSaved : public HostTest {
 protected:
  void TearDown() override
  {
    std::remove(path_.c_str());
    HostTest::TearDown();
  }
  std::string path_ = "/tmp/tvp-packet-" + std::to_string(::getpid()) + ".pdf";
};

}  // namespace

TEST_F(PacketsSaved, EveryShapeOfPacketSavesWithNothingButTheTicketChanged)
{
  std::string deep;
  for (int i = 0; i < 5; ++i)
    deep += "<o:n rdf:parseType='Resource'>";
  for (int i = 0; i < 600; ++i)
    deep += "<o:p" + std::to_string(i) + ">v" + std::to_string(i) + "</o:p" + std::to_string(i) + ">";
  for (int i = 0; i < 5; ++i)
    deep += "</o:n>";
  std::string deepest;  // with x:xmpmeta, rdf:RDF and the description, 1000 elements deep
  for (std::size_t i = 0; i < kMaxXmpDepth - 3; ++i)
    deepest += "<o:n rdf:parseType='Resource'>";
  for (std::size_t i = 0; i < kMaxXmpDepth - 3; ++i)
    deepest += "</o:n>";
  std::string tooDeep;
  for (int i = 0; i < 100000; ++i)
    tooDeep += "<o:n>";
  const std::string common = "<tvp:client>Mediahaus</tvp:client>";
  const std::string marked = "  a & b < c \"q\" 'x'\r\n\tend  ";  // markup, and space at the ends
  const std::string quoted = "http://example.com/q&amp;&quot;/";
  // exempi itself reads every language of a dc:title as the default one's text: exiftool reads it.
  const ReadBack german{kDc, "", "XMP-dc:Title-de-DE", "Stra\xC3\x9F" "enfest"};
  const ReadBack english{kDc, "title[1]", "XMP-dc:Title", "Sommerfest & more"};
  const ReadBack newJob{kTvp, "jobid", "XMP-tvp:Jobid", "J-2"};
  const ReadBack client{kTvp, "client", "XMP-tvp:Client", "Mediahaus"};
  auto plain = [](const std::string& packet) { return pdfWith(packet, "", false); };
  const PacketCase cases[] = {
      {"a packet other programs wrote", plain(packetOf("", common)),
       {ticket("jobid", "J-2"), ticket("remarks", marked)}, kASErrNone,
       {german, english, newJob, client, {kTvp, "remarks", "XMP-tvp:Remarks", marked}},
       {{kTvp, "tvp"}, {kDc, "dc"}}},
      {"another schema's struct holding a ticket field",
       plain(packetOf("", "<o:s rdf:parseType='Resource'><tvp:jobid>inner</tvp:jobid></o:s>")),
       {ticket("jobid", "J-2")}, kASErrNone,
       {newJob, {kOther, "s/tvp:jobid", "", "inner"}, german}, {}},
      {"values that look like the host's own names",
       plain(packetOf("", "<dc:source>urn:x-pdfhost:namespace:1:</dc:source><o:note>urn:x-pdfhost:"
                          "check:1:</o:note>")),
       {ticket("jobid", "urn:x-pdfhost:namespace:1:")}, kASErrNone,
       {{kTvp, "jobid", "XMP-tvp:Jobid", "urn:x-pdfhost:namespace:1:"},
        {kDc, "source", "XMP-dc:Source", "urn:x-pdfhost:namespace:1:"},
        {kOther, "note", "XMP-o:Note", "urn:x-pdfhost:check:1:"}},
       {}},
      {"UTF-16 with its mark, 600 properties 5 deep", plain(utf16(packetOf("", common + deep))),
       {ticket("jobid", "J-2")}, kASErrNone, {german, english, newJob, client}, {}},
      {"a namespace holding a quote and an ampersand",
       plain(packetOf("\n    xmlns:q='" + quoted + "' q:a='attribute'", "<q:v>kept</q:v>")),
       {ticket("jobid", "J-2")}, kASErrNone,
       {{"http://example.com/q&\"/", "v", "", "kept"}, {"http://example.com/q&\"/", "a", "", "attribute"}, newJob},
       {{"http://example.com/q&\"/", "q"}}},
      {"attribute-form properties of PDF/UA and PRISM",
       plain(packetOf("\n    xmlns:pdfuaid='http://www.aiim.org/pdfua/ns/id/' pdfuaid:part='1'\n"
                      "    xmlns:prism='http://prismstandard.org/namespaces/basic/2.0/' "
                      "prism:volume='7'", common)),
       {ticket("jobid", "J-2")}, kASErrNone,
       {{"http://www.aiim.org/pdfua/ns/id/", "part", "XMP-pdfuaid:Part", "1"},
        {"http://prismstandard.org/namespaces/basic/2.0/", "volume", "XMP-prism:Volume", "7"},
        newJob},
       {{"http://www.aiim.org/pdfua/ns/id/", "pdfuaid"},
        {"http://prismstandard.org/namespaces/basic/2.0/", "prism"}}},
      {"the ticket field as an Alt", plain(packetOf("", "<tvp:jobid><rdf:Alt><rdf:li xml:lang="
                                                      "'x-default'>old</rdf:li></rdf:Alt></tvp:jobid>")),
       {ticket("jobid", "J-2")}, kASErrNone, {newJob, german}, {}},
      {"the ticket field as a Bag",
       plain(packetOf("", "<tvp:jobid><rdf:Bag><rdf:li>a</rdf:li><rdf:li>b</rdf:li></rdf:Bag>"
                          "</tvp:jobid>")),
       {ticket("jobid", "J-2")}, kASErrNone, {newJob}, {}},
      {"the ticket field as a Seq",
       plain(packetOf("", "<tvp:jobid><rdf:Seq><rdf:li>a</rdf:li></rdf:Seq></tvp:jobid>")),
       {ticket("jobid", "J-2")}, kASErrNone, {newJob}, {}},
      {"the ticket field as a struct",
       plain(packetOf("", "<tvp:jobid rdf:parseType='Resource'><o:f>x</o:f></tvp:jobid>")),
       {ticket("jobid", "J-2")}, kASErrNone, {newJob}, {}},
      {"the ticket field with a qualifier",
       plain(packetOf("", "<tvp:jobid rdf:parseType='Resource'><rdf:value>old</rdf:value>"
                          "<o:q>qualifier</o:q></tvp:jobid>")),
       {ticket("jobid", "J-2")}, kASErrNone, {newJob}, {}},
      {"the ticket field as an attribute", plain(packetOf(" tvp:jobid='old'", "")),
       {ticket("jobid", "J-2")}, kASErrNone, {newJob, german}, {}},
      {"a run-length encoded stream", pdfWith(runLength(packetOf("", common)), " /Filter /RunLengthDecode", false),
       {ticket("jobid", "J-2")}, kASErrNone, {german, newJob, client}, {}},
      {"a stream the page shares", pdfWith(packetOf("", common), "", true),
       {ticket("jobid", "J-2")}, kASErrNone, {german, newJob, client}, {}},
      {"no metadata stream", pdfWith(std::nullopt, "", false), {ticket("jobid", "J-2")},
       kASErrNone, {newJob}, {}},
      {"an empty stream", plain(""), {ticket("jobid", "J-2")}, kASErrNone, {newJob}, {}},
      {"a damaged Flate stream", pdfWith("x\x9C not deflate", " /Filter /FlateDecode", false),
       {ticket("jobid", "J-2")}, kASErrMetadataUnreadable, {}, {}},
      {"a DCT-encoded stream", pdfWith(packetOf("", common), " /Filter /DCTDecode", false),
       {ticket("jobid", "J-2")}, kASErrMetadataUnreadable, {}, {}},
      {"a stream that is not XML", plain("<x:xmpmeta><broken"), {ticket("jobid", "J-2")},
       kASErrMetadata, {}, {}},
      {"a document type", plain("<!DOCTYPE x [<!ENTITY e 'e'>]>" + packetOf("", "")),
       {ticket("jobid", "J-2")}, kASErrMetadata, {}, {}},
      {"nested as deep as exempi takes", plain(packetOf("", deepest)), {ticket("jobid", "J-2")},
       kASErrNone, {newJob}, {}},
      {"nested 100,000 deep", plain(packetOf("", tooDeep)), {ticket("jobid", "J-2")},
       kASErrMetadata, {}, {}},
      {"control characters become spaces", plain(packetOf("", common)),
       {ticket("jobid", "a\x01\x0B\x7F" "b")}, kASErrNone,
       {{kTvp, "jobid", "XMP-tvp:Jobid", "a   b"}, client}, {}},
  };
  const std::string& path = path_;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path, c.pdf);
    OpenFailure failure;
    AVDoc view = Host::get().documents.open(path, &failure);
    ASSERT_NE(view, nullptr) << failure.message;
    // The plug-in reads the document's ticket in UTF-8, whatever the stream's encoding.
    bool hasClient = std::any_of(c.readBack.begin(), c.readBack.end(),
                                 [&](const ReadBack& r) { return r.path == client.path; });
    ASText before = pdfhost::calls::PDDocGetXAPMetadata(view->pdDoc.get());
    if (hasClient && before != nullptr)
      EXPECT_EQ(exempiValue(before->utf8, kTvp, "client"), "Mediahaus") << "as the plug-in reads it";
    EXPECT_TRUE(!hasClient || before != nullptr);
    if (before != nullptr)
      pdfhost::calls::ASTextDestroy(before);
    EXPECT_EQ(saveAsTheDialogDoes(view->pdDoc.get(), c.calls), c.refused);
    Host::get().documents.closeAll();
    std::string saved = readFile(path);
    if (c.refused != kASErrNone) {
      EXPECT_EQ(saved, c.pdf) << "byte-identical";
      continue;
    }
    EXPECT_EQ(saved.compare(0, c.pdf.size(), c.pdf), 0) << "the original bytes are a prefix";
    EXPECT_NE(shell("qpdf --check " + path).find("No syntax or stream encoding errors"),
              std::string::npos);
    std::string packet = streamOf(path, "catalog");
    EXPECT_TRUE(isParsableXmp(packet)) << packet;
    for (const auto& r : c.readBack) {
      if (!r.path.empty())
        EXPECT_EQ(exempiValue(packet, r.uri, r.path), r.value) << "exempi: " << r.path;
      if (!r.tag.empty())
        // (exiftool warns of its deep recursion on the deepest packet: only its value counts.)
        EXPECT_EQ(shell("(exiftool -b -" + r.tag + " " + path + " 2>/dev/null)"), r.value)
            << "exiftool: " << r.tag;
    }
    for (const auto& [uri, prefix] : c.prefixes)
      EXPECT_EQ(prefixesOf(packet, uri), std::set<std::string>{prefix}) << uri;
    if (c.name == "a stream the page shares")
      EXPECT_EQ(streamOf(path, "page"), packetOf("", common)) << "the page keeps its stream";
  }
}

TEST_F(PacketsSaved, AFailingCallRaisesAtTheCallAndTheCallsBeforeItStayApplied)
{
  const std::string& path = path_;
  writeFile(path, readFile(TVP_SAMPLE_PDF));
  OpenFailure failure;
  AVDoc view = Host::get().documents.open(path, &failure);
  ASSERT_NE(view, nullptr);
  PDDoc doc = view->pdDoc.get();
  EXPECT_EQ(saveAsTheDialogDoes(doc, {ticket("jobid", "J-5"), ticket("bad name", "x")}),
            kASErrMetadata);
  ASText packet = pdfhost::calls::PDDocGetXAPMetadata(doc);
  EXPECT_EQ(exempiValue(packet->utf8, kTvp, "jobid"), "J-5") << "the call before stays applied";
  EXPECT_EQ(exempiValue(packet->utf8, kDc, "title[1]"), "Summer Sale ad");
  pdfhost::calls::ASTextDestroy(packet);
  Host::get().documents.closeAll();
  EXPECT_EQ(readFile(path), readFile(TVP_SAMPLE_PDF)) << "nothing saved";
}

// A dictionary that names a key twice: qpdf warns and keeps the last value. The save refuses only
// where readers may read what it writes differently, and says so at the first property call.
struct DuplicatedKeyCase {
  const char* what;
  std::string catalogMore;  // entries added to the catalog
  std::string pageMore;     // entries added to the page
  std::string info;         // the /Info dictionary; none when empty
  ASErrorCode refused;
};

TEST_F(PacketsSaved, DuplicatedKeysRefuseOnlyWhereReadersMayReadTheSaveDifferently)
{
  const std::string intent = "<< /Type /OutputIntent /S /GTS_PDFX /OutputConditionIdentifier "
                             "(FOGRA39) /Info (Coated) >>";
  const DuplicatedKeyCase cases[] = {
      {"the catalog names /OutputIntents inline and by reference, /Lang twice alike",
       " /OutputIntents [" + intent + "] /Lang (en-GB) /OutputIntents 6 0 R /Lang (en-GB)", "",
       "", kASErrNone},
      {"/Info names /Title twice, as hyperref and \\pdfinfo write it", "", "",
       "<< /Title (From hyperref) /Author (Renee) /Title (From pdfinfo) >>", kASErrNone},
      {"a page's fonts name /F1 twice", "",
       " /Resources << /Font << /F1 7 0 R /F1 7 0 R >> >>", "", kASErrNone},
      {"the catalog names /Lang twice, not alike", " /Lang (en-GB) /Lang (de-DE)", "", "",
       kASErrDocAmbiguous},
      {"a direct value of the catalog names a key twice",
       " /ViewerPreferences << /DisplayDocTitle true /DisplayDocTitle false >>", "", "",
       kASErrDocAmbiguous},
  };
  const std::string& path = path_;
  const std::string packet = packetOf("", "");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string pdf = tickettest::pdfOfObjects(
        {"<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R" + c.catalogMore + " >>",
         "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842]" + c.pageMore + " >>",
         "<< /Type /Metadata /Subtype /XML /Length " + std::to_string(packet.size()) +
             " >>\nstream\n" + packet + "\nendstream",
         c.info.empty() ? "null" : c.info, "[" + intent + "]",
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"},
        c.info.empty() ? "" : " /Info 5 0 R");
    writeFile(path, pdf);
    std::string check = shell("qpdf --check " + path + " 2>&1");
    ASSERT_NE(check.find("duplicated key"), std::string::npos) << check;
    ASSERT_EQ(check.find("reconstruct"), std::string::npos) << check;
    // exiftool keeps a key's first value where qpdf keeps its last: readers do read it apart.
    std::string infoBefore = shell("exiftool -q -q -s -s -s -PDF:Title -PDF:Author " + path);
    OpenFailure failure;
    AVDoc view = Host::get().documents.open(path, &failure);
    ASSERT_NE(view, nullptr) << failure.message;
    PDDoc doc = view->pdDoc.get();
    EXPECT_EQ(saveAsTheDialogDoes(doc, {ticket("jobid", "J-7"), ticket("client", "Mediahaus")}),
              c.refused);
    if (c.refused != kASErrNone) {
      ASText now = pdfhost::calls::PDDocGetXAPMetadata(doc);
      EXPECT_EQ(exempiValue(now->utf8, kTvp, "jobid"), "<none>") << "refused at the first call";
      pdfhost::calls::ASTextDestroy(now);
      Host::get().documents.closeAll();
      EXPECT_EQ(readFile(path), pdf) << "byte-identical";
      EXPECT_NE(logText().find("catalog"), std::string::npos) << logText();
      continue;
    }
    Host::get().documents.closeAll();
    std::string saved = readFile(path);
    EXPECT_EQ(saved.compare(0, pdf.size(), pdf), 0) << "the original bytes are a prefix";
    // qpdf finds nothing it did not find before: each warning after the save was there before.
    std::string after = shell("qpdf --check " + path + " 2>&1");
    EXPECT_EQ(after.find("ERROR"), std::string::npos) << after;
    EXPECT_EQ(testfiles::newWarnings(check, after), "");
    EXPECT_EQ(shell("exiftool -q -q -s -s -s -XMP-tvp:jobid -XMP-tvp:client " + path),
              "J-7\nMediahaus\n");
    QPDF read;
    read.setSuppressWarnings(true);
    read.processFile(path.c_str());
    EXPECT_EQ(read.getRoot().getKey("/Pages").getKey("/Count").getIntValue(), 1);
    if (!c.catalogMore.empty()) {
      EXPECT_EQ(read.getRoot().getKey("/Lang").getUTF8Value(), "en-GB");
      EXPECT_EQ(read.getRoot().getKey("/OutputIntents").getArrayItem(0).getKey("/Info")
                    .getUTF8Value(), "Coated");
    }
    if (!c.info.empty()) {
      EXPECT_EQ(infoBefore, "From hyperref\nRenee\n");
      EXPECT_EQ(shell("exiftool -q -q -s -s -s -PDF:Title -PDF:Author " + path), infoBefore)
          << "/Info is left as every reader read it";
      EXPECT_EQ(read.getTrailer().getKey("/Info").getKey("/Title").getUTF8Value(),
                "From pdfinfo");
    }
  }
}

// A file whose last revision only ends the way an unfinished save of ours does: its startxref
// is not the section the bytes before it end with, so nothing is cut and the save goes after it.
TEST_F(IncrementalSave, ATailThatOnlyLooksUnfinishedIsKept)
{
  std::string packet = setXmpProperty(readMetadata(path_), kTvp, "tvp", "jobid", "J-1");
  Saved first = saveInto(path_, packet);
  std::string bytes = first.after;
  std::size_t at = bytes.rfind("startxref\n");
  ASSERT_NE(at, std::string::npos);
  std::string last = bytes.substr(at + 10, bytes.find('\n', at + 10) - at - 10);
  bytes.resize(bytes.find_last_not_of(' ', at - 1) + 1);
  bytes += "%pdfhost-unfinished-save " + std::to_string(first.before.size()) + "\nstartxref\n" +
           last + "\n%%EOF\n";
  writeFile(path_, bytes);
  ASSERT_EQ(shell("qpdf --check " + path_ + " | grep -c WARNING"), "0\n") << "a whole document";
  ASSERT_EQ(readMetadata(path_), packet);
  std::string second = setXmpProperty(packet, kTvp, "tvp", "client", "C-2");
  Saved saved = saveInto(path_, second);
  EXPECT_EQ(saved.after.compare(0, bytes.size(), bytes), 0) << "every byte kept";
  EXPECT_EQ(shell("qpdf --check " + path_ + " | grep -c WARNING"), "0\n");
  EXPECT_EQ(readMetadata(path_), second);
}

TEST(XmpPacketEditing, EverythingButTheSetPropertiesKeepsTheDocumentsBytesAndAForeignPrefixIsRenamed)
{
  const std::string opening =
      "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
      "<x:xmpmeta xmlns:x='adobe:ns:meta/' x:xmptk='Adobe XMP Core 5.6-c015'>\n"
      "<!-- written by hand -->\n"
      " <rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n";
  const std::string foreignTag =
      "\t<rdf:Description rdf:about=''\n\t\txmlns:ad='http://adsml.org/xmlns/'"
      " xmlns:tvp='http://other.example/ns/'>";
  const std::string kept =
      "\n\t\t<?app keep this?>\n\t\t<ad:PrintWidthUnit>mm</ad:PrintWidthUnit>\n\t\t<!-- note -->";
  const std::string cut = "\n\t\t<ad:Profile>old</ad:Profile>";
  const std::string foreign = "\n\t\t<tvp:jobid>foreign</tvp:jobid>";
  const std::string closing =
      "\n\t\t<ad:Empty/>\n\t</rdf:Description>";
  const std::string ending = "\n </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>";
  const std::string packet = opening + foreignTag + kept + cut + foreign + closing + ending;
  const std::string edited = applyXmpProperties(
      packet, {{"http://adsml.org/xmlns/", "adsml-at", "Profile", "GWG-v1_AD"},
               {kTvp, "tvp", "jobid", "J-9\x01"}});
  const std::string renamedTag =
      "\t<rdf:Description rdf:about=\"\" xmlns:ad=\"http://adsml.org/xmlns/\""
      " xmlns:tvp1=\"http://other.example/ns/\">";
  const std::string before = opening + renamedTag + kept +
                             "\n\t\t<tvp1:jobid>foreign</tvp1:jobid>" + closing;
  ASSERT_GT(edited.size(), before.size() + ending.size()) << edited;
  EXPECT_EQ(edited.substr(0, before.size()), before)
      << "the stamp, comments, instructions, indentation and forms as they were";
  EXPECT_EQ(edited.substr(edited.size() - ending.size()), ending);
  EXPECT_EQ(prefixesOf(edited, "http://adsml.org/xmlns/"),
            (std::set<std::string>{"ad", "adsml-at"}));
  EXPECT_EQ(prefixesOf(edited, "http://other.example/ns/"), std::set<std::string>{"tvp1"});
  EXPECT_EQ(prefixesOf(edited, kTvp), std::set<std::string>{"tvp"});
  EXPECT_EQ(exempiValue(edited, kTvp, "jobid"), "J-9 ");
  EXPECT_EQ(exempiValue(edited, "http://other.example/ns/", "jobid"), "foreign");
  EXPECT_EQ(exempiValue(edited, "http://adsml.org/xmlns/", "Profile"), "GWG-v1_AD");
  EXPECT_EQ(exempiValue(edited, "http://adsml.org/xmlns/", "PrintWidthUnit"), "mm");
}
