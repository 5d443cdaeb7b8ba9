// The ticket dialog as it opens: its controls by identifier, texts, layout rules, pictures and
// the document's path; the Close question; the dialog in the work area of whatever screen it
// gets, in light and dark themes, and run after run without growing the host.
#include <wx/display.h>
#include <wx/gbsizer.h>
#include <wx/notebook.h>
#include <wx/scrolwin.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include <sys/wait.h>

#include "DialogHarness.h"
#include "wxInit.h"

using namespace dialogtest;

namespace {

// Every field text: identifier, page, width.
struct FieldText {
  int id;
  int page;
  int width;
};

const FieldText kFieldTexts[] = {
    {10052, ID_TVP_JOB_PAGE, 200},   {10053, ID_TVP_JOB_PAGE, 400},
    {10054, ID_TVP_JOB_PAGE, 400},   {10055, ID_TVP_JOB_PAGE, 400},
    {10056, ID_TVP_JOB_PAGE, 400},   {10057, ID_TVP_JOB_PAGE, 400},
    {10058, ID_TVP_JOB_PAGE, 200},   {10059, ID_TVP_JOB_PAGE, 400},
    {10060, ID_TVP_JOB_PAGE, 400},   {10061, ID_TVP_JOB_PAGE, 400},
    {10062, ID_TVP_JOB_PAGE, 400},   {10063, ID_TVP_JOB_PAGE, 400},
    {10064, ID_TVP_JOB_PAGE, 400},   {10065, ID_TVP_EXTRA_PAGE, 200},
    {10066, ID_TVP_EXTRA_PAGE, 200}, {10067, ID_TVP_EXTRA_PAGE, 200},
    {10068, ID_TVP_EXTRA_PAGE, 200}, {10069, ID_TVP_EXTRA_PAGE, 200},
    {10070, ID_TVP_EXTRA_PAGE, 400}, {10071, ID_TVP_EXTRA_PAGE, 400},
    {10072, ID_TVP_EXTRA_PAGE, 400}, {10073, ID_TVP_EXTRA_PAGE, 400},
};

// The labels, headings and hints of a page, in the order they are created.
std::vector<std::string> labelsOf(wxWindow* page)
{
  std::vector<std::string> labels;
  for (wxWindow* child : page->GetChildren())
    if (auto* label = dynamic_cast<wxStaticText*>(child))
      labels.push_back(label->GetLabel().ToStdString());
  return labels;
}

std::vector<std::string> choicesOf(wxRadioBox* box)
{
  std::vector<std::string> choices;
  for (unsigned i = 0; i < box->GetCount(); ++i) choices.push_back(box->GetString(i).ToStdString());
  return choices;
}

// Whether the character at a position of a multi-line text lies wholly in the part shown.
bool isShown(wxTextCtrl* box, long position)
{
  GtkTextView* view = GTK_TEXT_VIEW(gtk_bin_get_child(GTK_BIN(box->GetHandle())));
  GtkTextIter at;
  gtk_text_buffer_get_iter_at_offset(gtk_text_view_get_buffer(view), &at, int(position));
  GdkRectangle shown, character;
  gtk_text_view_get_visible_rect(view, &shown);
  gtk_text_view_get_iter_location(view, &at, &character);
  return character.y >= shown.y && character.y + character.height <= shown.y + shown.height;
}

std::string absolute(const std::string& path)
{
  return std::filesystem::absolute(path).lexically_normal().string();
}

// The window with the frame the window manager put around it (none without one).
wxRect withFrame(wxWindow& window)
{
  GdkRectangle frame;
  gdk_window_get_frame_extents(gtk_widget_get_window(window.GetHandle()), &frame);
  return wxRect(frame.x, frame.y, frame.width, frame.height);
}

// Waits until a window manager, if any, is done with the window: its frame known and the place
// with it the same over a few rounds (it answers in its own time, after the display has).
void settleUnderWindowManager(wxWindow& window)
{
  wxRect last;
  for (int round = 0, same = 0; round < 100 && same < 5; ++round) {
    settle();
    g_usleep(20000);
    const wxRect now = withFrame(window);
    same = now == last ? same + 1 : 0;
    last = now;
  }
}

// Whether a page can be scrolled down, by its scroll bar or the mouse wheel.
bool scrollsDown(wxScrolledWindow* page)
{
  GtkWidget* bar = gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(page->GetHandle()));
  return page->GetScrollRange(wxVERTICAL) > page->GetScrollThumb(wxVERTICAL) &&
         gtk_widget_get_mapped(bar);
}

// The contrast ratio of two sRGB colours given as cairo's premultiplied-free 0xRRGGBB.
double contrast(uint32_t a, uint32_t b)
{
  auto luminance = [](uint32_t rgb) {
    double sum = 0;
    const double weights[] = {0.2126, 0.7152, 0.0722};
    for (int channel = 0; channel < 3; ++channel) {
      double c = ((rgb >> (16 - 8 * channel)) & 0xFF) / 255.0;
      c = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
      sum += weights[channel] * c;
    }
    return sum;
  };
  double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Draws a box's text area as GTK shows it (its frame left out) and gives the contrast of its
// text against its background: the commonest colour is the background, the colour that stands
// out most from it the text.
double textContrast(wxTextCtrl* box)
{
  GtkWidget* widget = gtk_bin_get_child(GTK_BIN(box->GetHandle()));
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::map<uint32_t, int> counts;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
    for (int x = 0; x < width; ++x) ++counts[row[x] & 0xFFFFFF];
  }
  cairo_surface_destroy(surface);
  uint32_t background = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                          return a.second < b.second;
                        })->first;
  double best = 1;
  for (const auto& [colour, count] : counts) best = std::max(best, contrast(colour, background));
  return best;
}

// The host's resident memory in kilobytes.
long residentKilobytes()
{
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

TEST_F(DialogTest, OpensWithEveryFieldEmptyAndTheDefaultChoices)
{
  // No document: nothing is loaded, so the controls are as created. (A document whose packet
  // holds no ticket opens with "Width/height": the AdsML pass fills the size choice.)
  EXPECT_TRUE(runCommand([&](TVPTabDialog& dialog) {
    for (const auto& field : kFieldTexts) {
      wxTextCtrl* control = text(field.id);
      ASSERT_NE(control, nullptr) << field.id;
      EXPECT_EQ(control->GetParent()->GetId(), field.page) << field.id;
      EXPECT_EQ(control->GetSize().GetWidth(), field.width) << field.id;
      EXPECT_EQ(control->GetValue(), "") << field.id;
      EXPECT_TRUE(control->IsEditable() && control->IsEnabled()) << field.id;
      EXPECT_FALSE(control->IsMultiLine()) << field.id;
    }
    EXPECT_EQ(radioBox(ID_TVP_JOB_PAGE)->GetSelection(), 0) << "B/W";
    EXPECT_EQ(radioBox(ID_TVP_EXTRA_PAGE)->GetSelection(), 0) << "Fixed size";
    EXPECT_EQ(dialog.GetTitle(), "");
    EXPECT_TRUE(dialog.GetExtraStyle() & wxWS_EX_BLOCK_EVENTS);
    closeDialog();
  }));
}

TEST_F(DialogTest, HeaderShowsTheDocumentPathAndOurNamespaceReadOnly)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    for (int id : {ID_TVP_PDF_FILE, ID_TVP_NAMESPACE}) {
      wxTextCtrl* box = text(id);
      ASSERT_NE(box, nullptr) << id;
      EXPECT_EQ(box->GetParent(), &dialog) << id;
      EXPECT_FALSE(box->IsEditable()) << id;
      EXPECT_TRUE(box->IsMultiLine()) << id;
      EXPECT_EQ(box->GetSize(), wxSize(400, 30)) << id;
      EXPECT_EQ(box->GetBackgroundColour(), *wxLIGHT_GREY) << id;
    }
    EXPECT_EQ(text(ID_TVP_PDF_FILE)->GetValue(), wxString::FromUTF8(absolute(TVP_SAMPLE_PDF)));
    EXPECT_EQ(text(ID_TVP_NAMESPACE)->GetValue(), "http://ns.tovarin.com/tvp/adticket/1.0/");
    EXPECT_EQ(pdfhost::Host::get().live.paths, 0) << "the path name is given back at once";
    closeDialog();
  });
}

TEST_F(DialogTest, WithoutAnActiveDocumentThePathIsEmptyAndSaveStillValidates)
{
  runCommand([&](TVPTabDialog&) {
    EXPECT_EQ(text(ID_TVP_PDF_FILE)->GetValue(), "");
    EXPECT_EQ(text(ID_TVP_NAMESPACE)->GetValue(), kTVPNamespaceURI);
    EXPECT_EQ(text(ID_TVP_EDIORDERID)->GetValue(), "");
    EXPECT_EQ(radioBox(ID_TVP_JOB_PAGE)->GetSelection(), 0);
    EXPECT_EQ(radioBox(ID_TVP_EXTRA_PAGE)->GetSelection(), 0);
    click(ID_TVP_SAVE);
    EXPECT_EQ(seen.notes, std::vector<std::string>{
                              "The mandatory 'Order ID' has no value or its value is too long"});
    closeDialog();
  });
}

TEST_F(DialogTest, PathsLongerThan511BytesAreShownWholeWithTheirEndInView)
{
  // A document folder deep enough for a path of over 600 bytes, with a non-ASCII file name.
  std::string folder = "/tmp/tvp-dialog-paths-" + std::to_string(::getpid());
  std::string deep = folder;
  std::filesystem::remove_all(folder);
  for (int i = 0; i < 7; ++i) deep += "/" + std::string(90, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  std::string path = deep + "/Anzeige M\xC3\xBCller.pdf";
  std::filesystem::copy_file(TVP_SAMPLE_PDF, path);
  ASSERT_GT(path.size(), 600u);
  openDocument(path);
  runCommand([&](TVPTabDialog&) {
    wxTextCtrl* box = text(ID_TVP_PDF_FILE);
    EXPECT_EQ(box->GetValue().utf8_string(), path);
    EXPECT_EQ(box->GetToolTipText().utf8_string(), path);
    // The box keeps its size and shows the end of the path, the file's name, not its start.
    settle();
    EXPECT_EQ(box->GetSize(), wxSize(400, 30));
    const long end = box->GetLastPosition();
    const long name = end - static_cast<long>(wxString::FromUTF8("Anzeige M\xC3\xBCller.pdf").length());
    EXPECT_TRUE(isShown(box, name) && isShown(box, end - 1)) << "the file's name is hidden";
    EXPECT_FALSE(isShown(box, 0)) << "the path does not fit: its start cannot be shown too";
    closeDialog();
  });
  std::filesystem::remove_all(folder);
}

TEST_F(DialogTest, PagesHoldTheirLabelsInOrder)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog&) {
    auto* notebook = dynamic_cast<wxNotebook*>(wxWindow::FindWindowById(ID_TVP_NOTEBOOK));
    ASSERT_NE(notebook, nullptr);
    ASSERT_EQ(notebook->GetPageCount(), 2u);
    EXPECT_EQ(notebook->GetPageText(0), "Job info (mandatory)");
    EXPECT_EQ(notebook->GetPageText(1), "Extra info (non mandatory)");
    EXPECT_EQ(notebook->GetPage(0)->GetId(), ID_TVP_JOB_PAGE);
    EXPECT_EQ(notebook->GetPage(1)->GetId(), ID_TVP_EXTRA_PAGE);
    EXPECT_EQ(
        labelsOf(notebook->GetPage(0)),
        (std::vector<std::string>{
            "   Order ID", "reservation number if known, otherwise 000", "   Job ID", "filename",
            "Client ID", "   Media Agency", "   Creative Agency", "   Service Office",
            "   Advertiser", "   First publication date", "(preferably DDMMYYYY)",
            "   Title/publication", "   Theme", "Colour", "Contact (name)", "Phone", "Email"}));
    EXPECT_EQ(labelsOf(notebook->GetPage(1)),
              (std::vector<std::string>{"     Width (mm)", "     Width (colums)",
                                        "     Height (mm)", "     Bleed", "(YES/NO)", "Brand",
                                        "Fax", "Destination", "Remarks"}));
    EXPECT_EQ(choicesOf(radioBox(ID_TVP_JOB_PAGE)),
              (std::vector<std::string>{"B/W", "Full", "Spot"}));
    EXPECT_EQ(choicesOf(radioBox(ID_TVP_EXTRA_PAGE)),
              (std::vector<std::string>{"Fixed size", "Width/height"}));
    closeDialog();
  });
}

TEST_F(DialogTest, ChoiceTextsSitBesideTheirChoicesAndStayThere)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    wxTextCtrl* spot = text(ID_TVP_SPOTCOLOUR);
    wxTextCtrl* fixed = text(ID_TVP_FIXEDSIZE);
    // The fixed size at its point beside "Fixed size", in no sizer.
    EXPECT_EQ(fixed->GetContainingSizer(), nullptr);
    EXPECT_EQ(fixed->GetPosition(), wxPoint(140, 8));
    EXPECT_GT(fixed->GetPosition().x, radioBox(ID_TVP_EXTRA_PAGE)->GetRect().GetRight());
    // The spot colour in the grid cell right of the colour row, covering no other control.
    auto* grid = dynamic_cast<wxGridBagSizer*>(spot->GetContainingSizer());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->GetItemPosition(spot), wxGBPosition(11, 1));
    EXPECT_EQ(grid->GetItemSpan(spot), wxGBSpan(1, 4));
    wxRect colours = radioBox(ID_TVP_JOB_PAGE)->GetRect();
    wxRect spotPlace = spot->GetRect();
    EXPECT_GT(spotPlace.x, colours.GetRight());
    int spotMiddle = spotPlace.y + spotPlace.height / 2;
    EXPECT_TRUE(colours.GetTop() < spotMiddle && spotMiddle < colours.GetBottom())
        << "on the colour row";
    for (wxWindow* page : {spot->GetParent(), fixed->GetParent()})
      for (wxWindow* a : page->GetChildren())
        for (wxWindow* b : page->GetChildren())
          if (a < b)
            EXPECT_FALSE(a->GetRect().Intersects(b->GetRect())) << a->GetId() << " " << b->GetId();

    // Choosing "Full" or "Width/height" runs no handler: nothing is cleared or disabled, and a
    // new layout moves neither text.
    spot->SetValue("Pantone 300");
    fixed->SetValue("1/2 page");
    radioBox(ID_TVP_JOB_PAGE)->SetSelection(1);
    radioBox(ID_TVP_EXTRA_PAGE)->SetSelection(1);
    dialog.Layout();
    spot->GetParent()->Layout();
    fixed->GetParent()->Layout();
    EXPECT_EQ(spot->GetRect(), spotPlace);
    EXPECT_EQ(fixed->GetPosition(), wxPoint(140, 8));
    EXPECT_EQ(spot->GetValue(), "Pantone 300");
    EXPECT_EQ(fixed->GetValue(), "1/2 page");
    EXPECT_TRUE(spot->IsEnabled() && spot->IsEditable());
    EXPECT_TRUE(fixed->IsEnabled() && fixed->IsEditable());
    closeDialog();
  });
}

TEST_F(DialogTest, ButtonsAndTheDialogFont)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    const std::pair<int, const char*> buttons[] = {
        {10074, "&Import..."}, {10075, "&Export..."}, {10076, "&Print..."},
        {10077, "&Save"},      {10078, "&Close"},
    };
    int previousX = -1;
    for (const auto& [id, label] : buttons) {
      auto* button = dynamic_cast<wxButton*>(wxWindow::FindWindowById(id));
      ASSERT_NE(button, nullptr) << id;
      EXPECT_EQ(button->GetLabel(), label);
      EXPECT_EQ(button->GetParent(), &dialog);
      EXPECT_GT(button->GetPosition().x, previousX) << "buttons run left to right";
      previousX = button->GetPosition().x;
    }
    EXPECT_EQ(dialog.GetFont().GetPointSize(), 8);
    EXPECT_EQ(text(ID_TVP_EDIORDERID)->GetFont().GetPointSize(), 8);
    EXPECT_EQ(dialog.GetMinSize(), dialog.GetSize()) << "sized to its layout";
    closeDialog();
  });
}

TEST_F(DialogTest, PicturesAreTheBuiltInImages)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    std::vector<wxSize> pictures;
    for (wxWindow* child : dialog.GetChildren())
      if (auto* picture = dynamic_cast<wxStaticBitmap*>(child))
        pictures.push_back(picture->GetBitmap().GetSize());
    EXPECT_EQ(pictures, (std::vector<wxSize>{wxSize(162, 49), wxSize(169, 55)}));

    const std::pair<const char*, wxSize> resources[] = {
        {"Tovarinplus_KL2.xpm", wxSize(162, 49)},
        {"GWG_compliant.xpm", wxSize(169, 55)},
        {"tovarinplus_kl2.xpm", wxSize()},
        {"GWG_Compliant.xpm", wxSize()},
        {"", wxSize()},
    };
    for (const auto& [name, size] : resources) {
      wxBitmap bitmap = dialog.GetBitmapResource(name);
      EXPECT_EQ(bitmap.IsOk(), size != wxSize()) << name;
      if (bitmap.IsOk()) EXPECT_EQ(bitmap.GetSize(), size) << name;
    }
    closeDialog();
  });
}

TEST_F(DialogTest, CloseAnsweredNoKeepsEveryEditAndYesEndsTheRun)
{
  // The "&Close" button, and the window manager's close (title-bar button, Alt+F4), ask alike.
  const std::pair<const char*, std::function<void(TVPTabDialog&)>> ways[] = {
      {"the Close button", [](TVPTabDialog&) { click(ID_TVP_CLOSE); }},
      {"the window manager", [](TVPTabDialog& dialog) { closeFromWindowManager(dialog); }},
  };
  openDocument(TVP_SAMPLE_PDF);
  for (const auto& [way, close] : ways) {
    SCOPED_TRACE(way);
    seen.clear();
    runCommand([&](TVPTabDialog& dialog) {
      setText(ID_TVP_EDIORDERID, "4711");
      radioBox(ID_TVP_JOB_PAGE)->SetSelection(2);
      // Escape asks nothing and closes nothing.
      wxKeyEvent escape(wxEVT_CHAR_HOOK);
      escape.m_keyCode = WXK_ESCAPE;
      dialog.ProcessWindowEvent(escape);
      EXPECT_TRUE(seen.questions.empty());
      EXPECT_TRUE(dialog.IsModal());

      answer({"no"});
      close(dialog);
      EXPECT_TRUE(dialog.IsModal());
      EXPECT_TRUE(dialog.IsShown());
      EXPECT_EQ(text(ID_TVP_EDIORDERID)->GetValue(), "4711");
      EXPECT_EQ(radioBox(ID_TVP_JOB_PAGE)->GetSelection(), 2);
      answer({"yes"});
      close(dialog);
      EXPECT_FALSE(dialog.IsModal());
      EXPECT_EQ(dialog.GetReturnCode(), wxID_CANCEL);
    });
    EXPECT_EQ(seen.questions, std::vector<std::string>(2, "Are you sure you want to quit?"));
    EXPECT_TRUE(seen.notes.empty());
  }
  std::string log = logText();
  for (const char* answer : {"no", "yes"}) {
    std::string line = "question: Are you sure you want to quit? [Yes/No] -> " +
                       std::string(answer) + "\n";
    int count = 0;
    for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
    EXPECT_EQ(count, 2) << answer << "\n" << log;
  }
}

TEST_F(DialogTest, FitsALaptopScreenCentredWithEveryTextEquallyTall)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    settle();
    const wxRect place = dialog.GetScreenRect();
    EXPECT_LE(place.width, 1366);
    EXPECT_LE(place.height, 768);
    EXPECT_EQ(dialog.GetMinSize(), dialog.GetSize()) << "sized to its layout";
    // Centred on the size it has now, not on the one it had before it was shown.
    const wxRect area = wxDisplay(&dialog).GetClientArea();
    EXPECT_TRUE(area.Contains(place)) << place.x << "," << place.y;
    EXPECT_NEAR(place.x - area.x, (area.width - place.width) / 2, 1);
    EXPECT_NEAR(place.y - area.y, (area.height - place.height) / 2, 1);

    // Before page 2 has been shown and after: one height for every text of both pages.
    auto* notebook = dynamic_cast<wxNotebook*>(wxWindow::FindWindowById(ID_TVP_NOTEBOOK));
    ASSERT_NE(notebook, nullptr);
    const int height = text(ID_TVP_EDIORDERID)->GetSize().GetHeight();
    for (int page : {1, 0}) {
      for (const auto& field : kFieldTexts)
        EXPECT_EQ(text(field.id)->GetSize().GetHeight(), height) << field.id;
      notebook->SetSelection(page);
      settle();
    }
    EXPECT_EQ(dialog.GetScreenRect(), place) << "the dialog neither moved nor grew";
    closeDialog();
  });
}

TEST_F(DialogTest, LiesInTheWorkAreaWithEveryFieldReachableByTab)
{
  // Run on the screens a user may have (see the tests' CMake file): a bare one, one with a
  // panel, a small one, and larger text. Where the layout does not fit, the pages scroll.
  openDocument(TVP_SAMPLE_PDF);
  const bool ran = runCommand([&](TVPTabDialog& dialog) {
    settleUnderWindowManager(dialog);
    const wxRect area = wxDisplay(&dialog).GetClientArea();
    const wxRect place = withFrame(dialog);
    EXPECT_TRUE(area.Contains(place))
        << "dialog " << place.x << "," << place.y << " " << place.width << "x" << place.height
        << " in work area " << area.width << "x" << area.height << "+" << area.y;
    // Header, notebook and buttons: each wholly in the window, none over another.
    const wxRect inside(dialog.GetClientSize());
    for (wxWindow* a : dialog.GetChildren()) {
      if (!a->IsShown()) continue;
      EXPECT_TRUE(inside.Contains(a->GetRect())) << a->GetId() << " is cut off";
      for (wxWindow* b : dialog.GetChildren())
        if (a < b && b->IsShown())
          EXPECT_FALSE(a->GetRect().Intersects(b->GetRect())) << a->GetId() << " " << b->GetId();
    }

    auto* notebook = dynamic_cast<wxNotebook*>(wxWindow::FindWindowById(ID_TVP_NOTEBOOK));
    ASSERT_NE(notebook, nullptr);
    bool anyCut = false;
    for (size_t index = 0; index < notebook->GetPageCount(); ++index) {
      notebook->SetSelection(index);
      settle();
      auto* page = dynamic_cast<wxScrolledWindow*>(notebook->GetPage(index));
      ASSERT_NE(page, nullptr);
      const bool cut = page->GetVirtualSize().y > page->GetClientSize().y;
      EXPECT_EQ(scrollsDown(page), cut) << "page " << index;
      anyCut = anyCut || cut;
      // Tab from field to field, as the user would: each one comes into view in its turn.
      for (const auto& field : kFieldTexts) {
        wxTextCtrl* control = text(field.id);
        if (control->GetParent() != page) continue;
        control->SetFocus();
        settle();
        EXPECT_TRUE(wxRect(page->GetClientSize()).Contains(control->GetRect()))
            << field.id << " is out of view when it has the focus";
      }
    }
    EXPECT_EQ(anyCut, place.height >= area.height - 1)
        << "a page scrolls only when the dialog would not fit, and then it must";
    EXPECT_EQ(text(ID_TVP_EMAIL)->GetParent(), notebook->GetPage(0));
    closeDialog();
  });
  EXPECT_TRUE(ran) << (seen.notes.empty() ? "" : seen.notes[0]);
}

TEST_F(DialogTest, ReadOnlyBoxesAreReadableInLightDarkAndHighContrastThemes)
{
  const struct {
    const char* theme;
    gboolean dark;
  } themes[] = {{"Adwaita", FALSE}, {"Adwaita", TRUE}, {"HighContrastInverse", FALSE}};
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog&) {
    GtkSettings* settings = gtk_settings_get_default();
    gchar* previous = nullptr;
    gboolean previousDark = FALSE;
    g_object_get(settings, "gtk-theme-name", &previous, "gtk-application-prefer-dark-theme",
                 &previousDark, nullptr);
    for (const auto& [theme, dark] : themes) {
      g_object_set(settings, "gtk-theme-name", theme, "gtk-application-prefer-dark-theme", dark,
                   nullptr);
      settle();
      for (int id : {ID_TVP_PDF_FILE, ID_TVP_NAMESPACE})
        EXPECT_GE(textContrast(text(id)), 4.5) << theme << (dark ? " dark " : " ") << id;
    }
    g_object_set(settings, "gtk-theme-name", previous, "gtk-application-prefer-dark-theme",
                 previousDark, nullptr);
    g_free(previous);
    closeDialog();
  });
}

TEST_F(DialogTest, FiftyRunsGrowTheHostByLessThanOneMegabyte)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer holds freed memory back: resident memory tells nothing here";
#endif
  const std::string copy = "/tmp/tvp-dialog-runs-" + std::to_string(::getpid()) + ".pdf";
  std::filesystem::copy_file(TVP_SAMPLE_PDF, copy,
                             std::filesystem::copy_options::overwrite_existing);
  openDocument(copy);
  auto closeOnly = [&](TVPTabDialog&) { closeDialog(); };
  auto save = [&](TVPTabDialog& dialog) {
    for (const auto& field : kFieldTexts) setText(field.id, "x");
    setText(ID_TVP_EMAIL, "ads@example.com");
    setText(ID_TVP_BLEED, "NO");
    click(ID_TVP_SAVE);
    EXPECT_FALSE(dialog.IsModal()) << "saved and ended";
  };
  const std::pair<const char*, std::function<void(TVPTabDialog&)>> ways[] = {
      {"closed", closeOnly},
      {"saved", save},
  };
  for (const auto& [way, script] : ways) {
    SCOPED_TRACE(way);
    // The first runs fill the toolkit's and GTK's caches (fonts, themes): they stay for good.
    // Between two choices of the menu item the host's loop reads what the display said about
    // the last run's windows; unread, those events would pile up, about 16 KB a run.
    auto run = [&] {
      runCommand(script);
      settle();
    };
    for (int first = 0; first < 5; ++first) run();
    const long before = residentKilobytes();
    for (int next = 0; next < 50; ++next) run();
    // Half the megabyte allowed, so that a leak of 10 KB a run cannot hide in the noise.
    EXPECT_LT(residentKilobytes() - before, 512);
  }
  std::filesystem::remove(copy);
}

TEST(DialogWithoutSeat, AWaylandSessionWithoutInputGetsTheAlertAndTheHostRunsOn)
{
  // weston's headless back-end offers a seat with no keyboard or mouse: the modal grab would
  // take the host down. The session is the test's own, started and ended here on every path.
  gchar* weston = g_find_program_in_path("weston");
  if (weston == nullptr) GTEST_SKIP() << "weston is not installed: the seatless session is not tried";
  g_free(weston);
  char folder[] = "/tmp/tvp-seatless-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string base = folder;
  std::ofstream(base + "/answers") << "";
  const std::string script =
      "cd '" + base + "' || exit 1; export XDG_RUNTIME_DIR='" + base + "'; "
      "weston --backend=headless-backend.so --socket=wayland-tvp --idle-time=0 "
      ">weston.log 2>&1 & w=$!; trap 'kill $w 2>/dev/null; wait $w 2>/dev/null' EXIT; "
      "for i in $(seq 1 200); do [ -S wayland-tvp ] && break; sleep 0.05; done; "
      "[ -S wayland-tvp ] || { tail -3 weston.log >&2; exit 77; }; "
      "env -u DISPLAY WAYLAND_DISPLAY=wayland-tvp GDK_BACKEND=wayland " +
      std::string(TVP_PDFHOST) + " --plugins " + TVP_PLUGIN_DIR +
      " --answers answers --log log --run ZEKT:TVPMetadata " + TVP_SAMPLE_PDF + " 2>err";
  std::ofstream(base + "/run.sh") << script << "\n";
  const int raw = std::system(("bash '" + base + "/run.sh'").c_str());
  const std::string log = testfiles::readFile(base + "/log");
  std::filesystem::remove_all(base);
  ASSERT_TRUE(WIFEXITED(raw)) << "pdfhost crashed";
  if (WEXITSTATUS(raw) == 77) GTEST_SKIP() << "weston's headless session did not start here";
  EXPECT_EQ(WEXITSTATUS(raw), 0) << log;
  EXPECT_NE(log.find("alert: The Ad Ticket dialog cannot be opened: the display has no keyboard "
                     "or mouse. -> "),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("menu item ZEKT:TVPMetadata: done\n"), std::string::npos) << log;
}
