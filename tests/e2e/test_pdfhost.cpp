// pdfhost as a user runs it: its command line, exit status, standard error, output and log.
#include <expat.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../support/TestFiles.h"

namespace {

using testfiles::readFile;

struct HostRun {
  int status = -1;
  std::string out;
  std::string err;
  std::string log;
};

std::string tempPath(const std::string& name)
{
  return "/tmp/pdfhost-e2e-" + std::to_string(::getpid()) + "-" + name;
}

// Runs pdfhost headless-capable with its output captured; arguments are already quoted. A
// wrapper command, when given, runs pdfhost (for example under a limit or a driver).
HostRun pdfhost(const std::string& arguments, const std::string& answers = "",
                const std::string& wrapper = "")
{
  std::string answersPath = tempPath("answers");
  std::string logPath = tempPath("log");
  std::string outPath = tempPath("out");
  std::string errPath = tempPath("err");
  std::ofstream(answersPath) << answers;
  std::remove(logPath.c_str());
  std::string args = arguments;
  for (std::size_t at; (at = args.find("@ANSWERS@")) != std::string::npos;)
    args.replace(at, 9, answersPath);
  std::string command = wrapper + " " + TVP_PDFHOST + " --log " + logPath + " " + args + " >" +
                        outPath + " 2>" + errPath;
  HostRun run;
  int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(outPath);
  run.err = readFile(errPath);
  run.log = readFile(logPath);
  for (const auto& path : {answersPath, logPath, outPath, errPath})
    std::remove(path.c_str());
  return run;
}

const std::string kPlugins = std::string(" --plugins ") + TVP_PLUGIN_DIR + " ";
const std::string kSample = TVP_SAMPLE_PDF;

}  // namespace

TEST(Pdfhost, MenusWithoutADocumentShowTheItemDisabled)
{
  HostRun run = pdfhost(kPlugins + "--menus");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Tovarin (ZEKT:Tovarin)\n  TVP metadata (ZEKT:TVPMetadata) disabled\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(Pdfhost, MenusWithADocumentShowTheItemEnabled)
{
  HostRun run = pdfhost(kPlugins + "--menus " + kSample);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  TVP metadata (ZEKT:TVPMetadata) enabled\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.log.find("document opened: " + kSample), std::string::npos) << run.log;

  // A PDF whose name begins with '-' comes after "--".
  std::string folder = tempPath("dash");
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(kSample, folder + "/-ad.pdf");
  run = pdfhost(kPlugins + "--menus -- -ad.pdf", "", "cd " + folder + " &&");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  TVP metadata (ZEKT:TVPMetadata) enabled\n"), std::string::npos);
  std::filesystem::remove_all(folder);
}

TEST(Pdfhost, ADisabledItemIsNotRun)
{
  HostRun run = pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:TVPMetadata");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.log.find("menu item ZEKT:TVPMetadata: disabled, not run"), std::string::npos)
      << run.log;
  EXPECT_EQ(run.log.find("chosen"), std::string::npos);
}

TEST(Pdfhost, AnUnknownItemIsAnError)
{
  HostRun run = pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:Nothing " + kSample);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.err, "pdfhost: there is no menu item ZEKT:Nothing\n");
}

struct BadDocument {
  const char* name;
  std::string content;  // empty: the file does not exist
};

TEST(Pdfhost, AFileThatCannotBeOpenedStopsTheRunWithOneLine)
{
  const BadDocument cases[] = {{"missing", ""}, {"not a PDF", "Dear reader,\nno PDF here.\n"}};
  for (const auto& c : cases) {
    std::string path = tempPath("bad.pdf");
    std::remove(path.c_str());
    if (!c.content.empty())
      std::ofstream(path) << c.content;
    HostRun run = pdfhost(kPlugins + "--menus " + kSample + " " + path);
    EXPECT_NE(run.status, 0) << c.name;
    EXPECT_EQ(run.err.rfind("pdfhost: " + path + ": ", 0), 0u) << c.name << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.name << ": nothing printed";
    if (!c.content.empty())
      EXPECT_EQ(readFile(path), c.content) << c.name << ": the file is untouched";
    std::remove(path.c_str());
  }
}

struct BrokenPlugin {
  const char* name;
  std::string folder;
  std::string module;  // the file refused, in the folder
  std::string reason;
};

TEST(Pdfhost, WithoutADisplayTheWindowIsNotShownAndNothingIsMadeInTheHome)
{
  std::string home = tempPath("home");
  std::filesystem::create_directory(home);
  HostRun run = pdfhost(kPlugins + kSample, "",
                        "env -u DISPLAY -u WAYLAND_DISPLAY -u GDK_BACKEND -u XDG_RUNTIME_DIR "
                        "-u XDG_CACHE_HOME HOME=" + home);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "pdfhost: no display to show the window on\n");
  EXPECT_TRUE(std::filesystem::is_empty(home)) << "no ~/.cache or anything else";
  std::filesystem::remove_all(home);
}

TEST(Pdfhost, APluginThatFailsToLoadIsNamedAndTheHostRunsOn)
{
  // Our module twice: as a copy (a module of its own) and as a link to that copy (the same
  // module); both claim the extension name the first one loaded holds.
  std::string twice = tempPath("twice");
  std::filesystem::create_directory(twice);
  std::filesystem::copy_file(std::string(TVP_PLUGIN_DIR) + "/TovarinAdTicket.so", twice + "/a.so");
  std::filesystem::create_symlink(std::string(TVP_PLUGIN_DIR) + "/TovarinAdTicket.so",
                                  twice + "/b.so");
  std::filesystem::create_symlink(twice + "/a.so", twice + "/c.so");
  const std::string fixtures = TVP_FIXTURE_DIR;
  const BrokenPlugin cases[] = {
      {"no entry", fixtures + "/no_entry", "fixture_no_entry.so",
       "it does not export AcroPluginMain"},
      {"refuses handshake", fixtures + "/refuses_handshake", "fixture_refuses_handshake.so",
       "it refused the host's handshake version 0x00020000"},
      {"a second module of one name", twice, "b.so",
       "its extension name ZEKT:TVPMetadata is already loaded from " + twice + "/a.so"},
      {"a link to a module loaded", twice, "c.so",
       "its extension name ZEKT:TVPMetadata is already loaded from " + twice + "/a.so"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HostRun run = pdfhost("--plugins " + c.folder + " --menus " + kSample);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("pdfhost: plug-in " + c.folder + "/" + c.module +
                           " not loaded: " + c.reason + "\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.log.find(c.reason), std::string::npos) << run.log;
    EXPECT_NE(run.out.find("File (File)"), std::string::npos) << "the host ran on: " << run.out;
    EXPECT_LE(testfiles::countOf(run.out, "(ZEKT:TVPMetadata)"), 1) << run.out;
  }
  // The one loaded keeps its menu, and its item works.
  HostRun run = pdfhost("--plugins " + twice + " --answers @ANSWERS@ --run ZEKT:TVPMetadata");
  EXPECT_NE(run.log.find("menu item ZEKT:TVPMetadata: disabled, not run"), std::string::npos)
      << run.log;
  std::filesystem::remove_all(twice);
}

TEST(Pdfhost, AMistakeOnTheCommandLineShowsTheUsage)
{
  const struct {
    std::string arguments;
    const char* why;
  } cases[] = {
      {"--bogus", "unknown option --bogus"},
      {"--log --menus " + kSample, "--log needs a value, not the option --menus"},
  };
  for (const auto& c : cases) {
    HostRun run = pdfhost(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_EQ(run.err.rfind(std::string("pdfhost: ") + c.why, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\nusage: pdfhost [--plugins DIR] [--answers FILE] [--log FILE] "
                           "[--run ITEM-NAME] [--menus] [--] [FILE.pdf ...]\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists("--menus")) << "no log named after an option";
  }
}

// HOSTILE CONDITIONS

namespace {

// Runs a command (pdfhost, given as its arguments) under an X server of its own, presses a key in
// the ticket dialog once it shows and, once what the key did has reached pdfhost's log (a save, an
// alert, a print job), closes the dialog with "&Close" (again after each answer) until it is gone. Nothing waits a
// set time for pdfhost: a busy machine only makes the run longer.
const char kDialogDriver[] = R"sh(key=$1; shift
log=; previous=; for a in "$@"; do [ "$previous" = --log ] && log=$a; previous=$a; done
"$@" & host=$!
alive() { kill -0 $host 2>/dev/null; }
lines() { cat "$log" 2>/dev/null | wc -l; }
visible() { xdotool search --onlyvisible --class pdfhost 2>/dev/null | head -1; }
while alive && [ -z "$(visible)" ]; do sleep 0.1; done
id=$(visible)
if [ -n "$id" ]; then
  before=$(lines)
  xdotool windowfocus --sync "$id" && sleep 0.3 && xdotool key "$key"
  while alive && [ "$(lines)" -le "$before" ]; do sleep 0.1; done
  while alive && [ "$(visible)" = "$id" ]; do
    before=$(lines)
    xdotool windowfocus --sync "$id" && xdotool key alt+c
    while alive && [ "$(lines)" -le "$before" ]; do sleep 0.1; done
  done
fi
wait $host
)sh";

std::string dialogDriver(const std::string& key)
{
  std::string script = tempPath("driver.sh");
  std::ofstream(script) << kDialogDriver;
  return std::string("timeout 300 ") + TVP_OWN_DISPLAY + " sh " + script + " " + key;
}

// A one-page PDF whose packet carries a whole ticket, with `junk` bytes before its header.
std::string ticketPdf(const std::string& path, std::size_t junk)
{
  std::string fields;
  for (const char* field : {"ediorderid", "jobid", "client", "agency", "service", "advertiser",
                            "firstpub", "location", "theme", "contact", "phone"})
    fields += std::string("<tvp:") + field + ">v</tvp:" + field + ">";
  fields += "<tvp:email>a@b.c</tvp:email><tvp:bwcolour>YES</tvp:bwcolour>"
            "<tvp:fullcolour>NO</tvp:fullcolour><tvp:spotcolour>-</tvp:spotcolour>";
  std::string packet =
      "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
      "rdf:about=\"\" xmlns:tvp=\"http://ns.tovarin.com/tvp/adticket/1.0/\">" +
      fields + "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
  std::ofstream(path + ".raw")
      << "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R >>\nendobj\n"
         "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n3 0 obj\n<< /Type /Page "
         "/Parent 2 0 R /MediaBox [0 0 200 200] >>\nendobj\n4 0 obj\n<< /Type /Metadata /Subtype "
         "/XML /Length "
      << packet.size() << " >>\nstream\n" << packet
      << "\nendstream\nendobj\ntrailer\n<< /Root 1 0 R /Size 5 >>\n%%EOF\n";
  // qpdf writes the cross-reference table.
  testfiles::shell("qpdf --static-id " + path + ".raw " + path + ".pdf");
  std::ofstream(path) << std::string(junk, '~') << readFile(path + ".pdf");
  std::remove((path + ".raw").c_str());
  std::remove((path + ".pdf").c_str());
  return readFile(path);
}

struct Hostile {
  const char* name;
  std::function<HostRun(const std::string& folder)> run;  // pdfhost in the condition
  std::function<void(const HostRun&, const std::string& folder)> check;
};

std::string qpdfCheck(const std::string& file)
{
  int status = -1;
  std::string output = testfiles::shell("qpdf --check " + file, &status);
  return status == 0 && output.find("WARNING") == std::string::npos ? "clean" : output;
}

}  // namespace

TEST(Pdfhost, SurvivesHostileConditionsWithNothingLost)
{
  const Hostile cases[] = {
      {"a FIFO and a device on the command line",
       [](const std::string& folder) {
         ::mkfifo((folder + "/f.pdf").c_str(), 0644);
         return pdfhost("--menus " + folder + "/f.pdf /dev/zero", "", "timeout 60");
       },
       [](const HostRun& run, const std::string& folder) {
         EXPECT_EQ(run.status, 1);
         EXPECT_EQ(run.err, "pdfhost: " + folder + "/f.pdf: is not a regular file, not a PDF file\n");
       }},
      {"bytes before the header, saved twice",
       [](const std::string& folder) {
         std::string file = folder + "/ad.pdf";
         std::string before = ticketPdf(file, 100);
         std::string args = kPlugins + "--answers @ANSWERS@ --run ZEKT:TVPMetadata " + file;
         HostRun first = pdfhost(args, "yes\n", dialogDriver("alt+s"));
         std::string saved = readFile(file);
         EXPECT_EQ(saved.compare(0, before.size(), before), 0) << "appended to";
         EXPECT_EQ(qpdfCheck(file), "clean") << "after the first save";
         HostRun second = pdfhost(args, "yes\n", dialogDriver("alt+s"));
         EXPECT_EQ(readFile(file).compare(0, saved.size(), saved), 0) << "appended to";
         second.log = first.log + second.log;
         return second;
       },
       [](const HostRun& run, const std::string& folder) {
         EXPECT_EQ(run.status, 0) << run.err;
         EXPECT_EQ(testfiles::countOf(run.log, "document saved incrementally: " + folder + "/ad.pdf"),
                   2)
             << run.log;
         EXPECT_EQ(qpdfCheck(folder + "/ad.pdf"), "clean");
       }},
      {"a file-size limit the save runs into",
       [](const std::string& folder) {
         std::string file = folder + "/ad.pdf";
         std::string before = ticketPdf(file, 0);
         std::string limit = std::to_string(before.size() + 600);
         HostRun run = pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:TVPMetadata " + file,
                               "ok\nyes\n", dialogDriver("alt+s") + " prlimit --fsize=" + limit);
         EXPECT_EQ(readFile(file), before) << "byte-identical";
         return run;
       },
       [](const HostRun& run, const std::string& folder) {
         EXPECT_EQ(run.status, 0) << "not killed by SIGXFSZ: " << run.err;
         EXPECT_NE(run.log.find("alert: The disk is full."), std::string::npos) << run.log;
         EXPECT_EQ(run.log.find("document saved"), std::string::npos) << run.log;
         EXPECT_EQ(testfiles::shell("ls -A " + folder), "ad.pdf\n") << "no temporary file left";
       }},
      {"a file-size limit the sheet's save runs into",
       [](const std::string& folder) {
         std::ofstream(folder + "/pdfDoc.pdf") << "the last sheet\n";
         std::string file = folder + "/ad.pdf";
         std::string limit = std::to_string(ticketPdf(file, 0).size() + 600);
         return pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:TVPMetadata " + file,
                        "ok\nprint " + folder + "/job.pdf\nyes\n",
                        "env PDFHOST_SHARED_DIR=" + folder + " " + dialogDriver("alt+p") +
                            " prlimit --fsize=" + limit);
       },
       [](const HostRun& run, const std::string& folder) {
         EXPECT_EQ(run.status, 0) << run.err;
         EXPECT_NE(run.log.find("alert: The disk is full."), std::string::npos) << run.log;
         EXPECT_EQ(run.log.find("print job"), std::string::npos) << "nothing printed: " << run.log;
         EXPECT_EQ(readFile(folder + "/pdfDoc.pdf"), "the last sheet\n");
         EXPECT_EQ(testfiles::shell("ls -A " + folder), "ad.pdf\npdfDoc.pdf\n");
       }},
      {"a document on a read-only file system",
       [](const std::string& folder) {
         // The folder is mounted read-only in a namespace of the run's own.
         std::string mounted = folder + "/ro";
         std::filesystem::create_directory(mounted);
         std::string before = ticketPdf(mounted + "/ad.pdf", 0);
         int status = -1;
         testfiles::shell("unshare -rm true", &status);
         if (status != 0) return HostRun{};  // no user namespaces here: nothing to run
         std::string readOnly = "unshare -rm sh -c 'mount --bind " + mounted + " " + mounted +
                                " && mount -o remount,ro,bind " + mounted +
                                " && exec \"$0\" \"$@\"'";
         HostRun run =
             pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:TVPMetadata " + mounted + "/ad.pdf",
                     "ok\nyes\n", dialogDriver("alt+s") + " " + readOnly);
         EXPECT_EQ(readFile(mounted + "/ad.pdf"), before) << "byte-identical";
         return run;
       },
       [](const HostRun& run, const std::string&) {
         if (run.status == -1 && run.log.empty()) return;  // see above
         EXPECT_EQ(run.status, 0) << run.err;
         EXPECT_NE(run.log.find("alert: The file system is read-only: nothing can be saved on it."),
                   std::string::npos)
             << run.log;
       }},
      {"a link planted at the sheet's name in the shared folder",
       [](const std::string& folder) {
         std::ofstream(folder + "/victim") << "the user's own file\n";
         ::symlink((folder + "/victim").c_str(), (folder + "/pdfDoc.pdf").c_str());
         std::string file = folder + "/ad.pdf";
         ticketPdf(file, 0);
         return pdfhost(kPlugins + "--answers @ANSWERS@ --run ZEKT:TVPMetadata " + file,
                        "print " + folder + "/job.pdf\nyes\n",
                        "env PDFHOST_SHARED_DIR=" + folder + " " + dialogDriver("alt+p"));
       },
       [](const HostRun& run, const std::string& folder) {
         EXPECT_EQ(run.status, 0) << run.err;
         EXPECT_EQ(readFile(folder + "/victim"), "the user's own file\n");
         EXPECT_EQ(qpdfCheck(folder + "/pdfDoc.pdf"), "clean");
         EXPECT_EQ(readFile(folder + "/job.pdf"), readFile(folder + "/pdfDoc.pdf")) << run.log;
         EXPECT_NE(readFile(folder + "/job.pdf"), "");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char folder[] = "/tmp/pdfhost-e2e-hostile-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    HostRun run = c.run(folder);
    c.check(run, folder);
    testfiles::shell(std::string("rm -rf ") + folder);
  }
  std::remove(tempPath("driver.sh").c_str());
}

// THE USER'S LOCALE

namespace {

struct Word {
  std::string text;
  std::string box;  // xMin yMin xMax yMax as poppler writes them
  bool operator==(const Word& other) const { return text == other.text && box == other.box; }
};

// The words poppler finds on a PDF's pages, with their boxes, read with expat.
std::vector<Word> wordsOf(const std::string& pdf)
{
  int status = -1;
  std::string xhtml = testfiles::shell("pdftotext -bbox '" + pdf + "' - 2>/dev/null", &status);
  std::vector<Word> words;
  if (status != 0) return words;
  struct State {
    std::vector<Word>* words;
    bool inWord = false;
  } state{&words};
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                 XML_ParserFree);
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(
      parser.get(),
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* state = static_cast<State*>(data);
        if (std::string(name) != "word") return;
        Word word;
        for (int i = 0; attributes[i] != nullptr; i += 2)
          word.box += std::string(attributes[i]) + "=" + attributes[i + 1] + " ";
        state->words->push_back(word);
        state->inWord = true;
      },
      [](void* data, const XML_Char*) { static_cast<State*>(data)->inWord = false; });
  XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* text, int length) {
    auto* state = static_cast<State*>(data);
    if (state->inWord) state->words->back().text.append(text, static_cast<std::size_t>(length));
  });
  EXPECT_EQ(XML_Parse(parser.get(), xhtml.data(), static_cast<int>(xhtml.size()), 1),
            XML_STATUS_OK);
  return words;
}

}  // namespace

TEST(Pdfhost, APluginThatTakesTheUserLocaleLeavesTheSheetAsItIs)
{
  if (testfiles::shell("locale -a").find("de_DE.utf8") == std::string::npos)
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/install-deps.sh makes it)";
  char folder[] = "/tmp/pdfhost-e2e-locale-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  std::string plugins = std::string(folder) + "/plug_ins";
  std::filesystem::create_directory(plugins);
  std::filesystem::create_symlink(std::string(TVP_PLUGIN_DIR) + "/TovarinAdTicket.so",
                                  plugins + "/TovarinAdTicket.so");
  std::filesystem::create_symlink(
      std::string(TVP_FIXTURE_DIR) + "/takes_user_locale/fixture_takes_user_locale.so",
      plugins + "/fixture_takes_user_locale.so");
  std::string ad = std::string(folder) + "/ad.pdf";
  ticketPdf(ad, 0);
  std::map<std::string, std::vector<Word>> sheets;
  for (std::string locale : {"C", "de_DE.UTF-8"}) {
    SCOPED_TRACE(locale);
    std::string job = std::string(folder) + "/job-" + locale + ".pdf";
    HostRun run = pdfhost(
        "--plugins " + plugins + " --answers @ANSWERS@ --run ZEKT:TVPMetadata " + ad,
        "print " + job + "\nyes\n",
        "env LC_ALL=" + locale + " PDFHOST_SHARED_DIR=" + folder + " " + dialogDriver("alt+p"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.log.find("(TEST:TakesUserLocale)"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("print job: pdfDoc.pdf -> " + job), std::string::npos) << run.log;
    EXPECT_EQ(qpdfCheck(job), "clean");
    sheets[locale] = wordsOf(job);
  }
  const std::vector<Word>& sheet = sheets["C"];
  EXPECT_NE(
      std::find_if(sheet.begin(), sheet.end(), [](const Word& w) { return w.text == "Order"; }),
      sheet.end())
      << "poppler reads the sheet";
  EXPECT_TRUE(sheets["de_DE.UTF-8"] == sheet) << "every word where it is under the C locale";
  testfiles::shell(std::string("rm -rf ") + folder);
  std::remove(tempPath("driver.sh").c_str());
}
