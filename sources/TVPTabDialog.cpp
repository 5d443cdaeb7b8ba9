// The Ad Ticket dialog: its controls and layout, the Close question and field validation.
#include "TVPTabDialog.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <wx/button.h>
#include <wx/display.h>
#include <wx/gbsizer.h>
#include <wx/image.h>
#include <wx/intl.h>
#include <wx/notebook.h>
#include <wx/radiobox.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "TovarinPluginInit.h"
#include "images/GWG_compliant.xpm"
#include "images/Tovarinplus_KL2.xpm"

// ---------------------------------------------------------------------------------------------
// Event table
// ---------------------------------------------------------------------------------------------

// One row per button; the window manager's close, which asks as "&Close" does; and the size the
// window takes once its frame is known, to centre it again.
// clang-format off
wxBEGIN_EVENT_TABLE(TVPTabDialog, wxDialog)
  EVT_BUTTON(ID_TVP_IMPORT, TVPTabDialog::OnButtonImport)
  EVT_BUTTON(ID_TVP_EXPORT, TVPTabDialog::OnButtonExport)
  EVT_BUTTON(ID_TVP_PRINT,  TVPTabDialog::OnButtonPrint)
  EVT_BUTTON(ID_TVP_SAVE,   TVPTabDialog::OnButtonSave)
  EVT_BUTTON(ID_TVP_CLOSE,  TVPTabDialog::OnButtonQuit)
  EVT_CLOSE(                TVPTabDialog::OnCloseWindow)
  EVT_SIZE(                 TVPTabDialog::OnSize)
  EVT_SHOW(                 TVPTabDialog::OnShow)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

// Controls without a width of their own in the layout take the toolkit's default height.
const int kNarrow = 200;
const int kWide = 400;

// The size of the two read-only texts of the header.
const wxSize kHeaderTextSize(400, 30);

// Pixels per scroll step of a page that does not fit the screen.
const int kScrollStep = 10;

// The layout was drawn for text boxes about 22 pixels tall; GTK's own are nearly twice that,
// which would make the dialog taller than a laptop screen. Each of the dialog's one-line texts
// gets this style before the sizers ask for its size.
const char kCompactTextStyle[] =
    "entry { min-height: 18px; padding-top: 1px; padding-bottom: 1px; }";

struct ProviderUnref {
  void operator()(GtkCssProvider* provider) const { g_object_unref(provider); }
};
using CssProvider = std::unique_ptr<GtkCssProvider, ProviderUnref>;

CssProvider NewCompactTextStyle()
{
  CssProvider provider(gtk_css_provider_new());
  gtk_css_provider_load_from_data(provider.get(), kCompactTextStyle, -1, nullptr);
  return provider;
}

// Gives every one-line text of a page the compact style and the height that style gives, before
// the page is laid out. Texts outside the sizers get it too, so that all of them are equally tall.
void MakeTextsCompact(wxWindow* page, GtkCssProvider* style)
{
  for (wxWindow* child : page->GetChildren()) {
    wxTextCtrl* text = dynamic_cast<wxTextCtrl*>(child);
    if (text == nullptr || text->IsMultiLine()) continue;
    GtkWidget* entry = text->GetHandle();
    gtk_style_context_add_provider(gtk_widget_get_style_context(entry), GTK_STYLE_PROVIDER(style),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    // The toolkit's own guess at the height depends on whether the page has been shown yet;
    // GTK's measure of the styled entry does not. The toolkit's last size is GTK's size
    // request, so the entry is measured without it.
    gtk_widget_set_size_request(entry, -1, -1);
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_height(entry, &minimum, &natural);
    const wxSize size(text->GetSize().GetWidth(), natural);
    text->SetMinSize(size);
    text->SetSize(size);
  }
}

// A label, heading or hint at a cell of a page's grid.
void AddLabel(wxWindow* parent, wxGridBagSizer* grid, const wxString& text, int row, int column,
              int columns = 1)
{
  wxStaticText* label =
      new wxStaticText(parent, wxID_STATIC, text, wxDefaultPosition, wxDefaultSize, 0);
  grid->Add(label, wxGBPosition(row, column), wxGBSpan(1, columns), 0, 0);
}

// An empty field text at a cell of a page's grid.
wxTextCtrl* AddField(wxWindow* parent, wxGridBagSizer* grid, wxWindowID id, int width, int row,
                     int column, int columns)
{
  wxTextCtrl* text =
      new wxTextCtrl(parent, id, wxEmptyString, wxDefaultPosition, wxSize(width, -1), 0);
  grid->Add(text, wxGBPosition(row, column), wxGBSpan(1, columns), 0, 0);
  return text;
}

// One of the header's read-only texts, light grey. The text is black with it: the theme's own
// text colour is meant for the theme's background and is white in a dark theme.
wxTextCtrl* NewHeaderText(wxWindow* parent, wxWindowID id, const wxString& value)
{
  wxTextCtrl* text = new wxTextCtrl(parent, id, value, wxDefaultPosition, kHeaderTextSize,
                                    wxTE_MULTILINE | wxTE_READONLY | wxTE_NO_VSCROLL);
  text->SetBackgroundColour(*wxStockGDI::GetColour(wxStockGDI::COLOUR_LIGHTGREY));
  text->SetForegroundColour(*wxStockGDI::GetColour(wxStockGDI::COLOUR_BLACK));
  return text;
}

// A notebook page. It scrolls only once the dialog is made smaller than its layout (see
// FitIntoWorkArea); until then it is laid out as a plain panel.
wxScrolledWindow* NewPage(wxWindow* notebook, wxWindowID id)
{
  return new wxScrolledWindow(notebook, id, wxDefaultPosition, wxDefaultSize,
                              wxNO_BORDER | wxTAB_TRAVERSAL | wxHSCROLL | wxVSCROLL);
}

// A picture from built-in XPM data. The XPM's transparent colour becomes alpha first: the
// toolkit's picture control leaks the pixels of a bitmap with a mask, on every dialog. GTK
// keeps alpha only in a bitmap of 32 bits.
wxBitmap PictureFromXpm(const char* const* xpm)
{
  wxImage image(xpm);
  if (image.HasMask() && !image.HasAlpha()) image.InitAlpha();
  return wxBitmap(image, image.HasAlpha() ? 32 : 15);
}

// Shows a path in one of the header's fixed boxes. A long one fills more lines than the box
// shows, and its end, the file's name, matters most: the box may scroll, without a scroll bar,
// and shows the end. The tooltip holds the whole path.
void ShowPathEnd(wxTextCtrl* box, const wxString& path)
{
  box->SetValue(path);
  box->SetToolTip(path);
  GtkWidget* scroller = box->GetHandle();
  if (GTK_IS_SCROLLED_WINDOW(scroller)) {
    GtkPolicyType across = GTK_POLICY_NEVER;
    gtk_scrolled_window_get_policy(GTK_SCROLLED_WINDOW(scroller), &across, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), across, GTK_POLICY_EXTERNAL);
  }
  box->ShowPosition(box->GetLastPosition());
}

// The device-independent path of a document's file as the host gives it (UTF-8); empty for a
// document that has no file. The host's path name and text are given back before returning.
wxString DocumentPathText(PDDoc document)
{
  ASFile file = PDDocGetFile(document);
  if (file == nullptr) return wxString();
  ASPathName pathName = ASFileAcquirePathName(file);
  char* diPath = nullptr;
  try {
    diPath = ASFileSysDIPathFromPath(ASGetDefaultFileSys(), pathName, nullptr);
  } catch (...) {
    // No frame of ours is open here, so the host reports the error; the path name is still ours.
    ASFileSysReleasePath(ASGetDefaultFileSys(), pathName);
    throw;
  }
  // Shown whole, however long: a cut path would hide which file the ticket is stored in.
  wxString text = wxString::FromUTF8(diPath != nullptr ? diPath : "");
  ASFileSysReleasePath(ASGetDefaultFileSys(), pathName);
  ASfree(diPath);
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Place on the screen
// ---------------------------------------------------------------------------------------------

namespace {

// What a desktop that frames windows without saying how (no _NET_FRAME_EXTENTS) or keeps
// panels without saying where (no _NET_WORKAREA) is taken to use: a tall title bar, thin
// borders, and a panel's height at the top and at the bottom. Too much only costs a little room.
const int kGuessedTitleBar = 40;
const int kGuessedBorder = 10;
const int kGuessedPanel = 40;

// Whether a window manager runs that does not announce a hint it would need to be trusted on.
bool WindowManagerKeepsSilentOn(GtkWidget* widget, const char* hint)
{
#ifdef GDK_WINDOWING_X11
  GdkScreen* screen = gtk_widget_get_screen(widget);
  if (!GDK_IS_X11_SCREEN(screen)) return false;  // Wayland: the compositor places the dialog
  const char* name = gdk_x11_screen_get_window_manager_name(screen);
  return name != nullptr && g_strcmp0(name, "unknown") != 0 &&
         !gdk_x11_screen_supports_net_wm_hint(screen, gdk_atom_intern_static_string(hint));
#else
  (void)widget;
  (void)hint;
  return false;
#endif
}

// Where the native window lies (or is to lie, before it is shown), frame excluded: the host
// may have moved it without the toolkit knowing yet.
wxRect NativePlace(wxWindow& window)
{
  int x = 0, y = 0, width = 0, height = 0;
  gtk_window_get_position(GTK_WINDOW(window.GetHandle()), &x, &y);
  gtk_window_get_size(GTK_WINDOW(window.GetHandle()), &width, &height);
  return wxRect(x, y, width, height);
}

// The frame around the window: what the toolkit knows of it, or, where the window manager does
// not tell, a generous guess.
wxSize FrameAround(wxWindow& window)
{
  wxSize frame = window.GetSize() - window.GetClientSize();
  if (WindowManagerKeepsSilentOn(window.GetHandle(), "_NET_FRAME_EXTENTS"))
    frame.IncTo(wxSize(2 * kGuessedBorder, kGuessedTitleBar + kGuessedBorder));
  return frame;
}

// The work area of the monitor that holds the window's centre, less the panels a silent
// desktop may keep.
wxRect RoomOnMonitorOf(wxWindow& window)
{
  GtkWidget* widget = window.GetHandle();
  const wxRect place = NativePlace(window);
  const wxPoint centre = place.GetPosition() + place.GetSize() / 2;
  GdkMonitor* monitor =
      gdk_display_get_monitor_at_point(gtk_widget_get_display(widget), centre.x, centre.y);
  if (monitor == nullptr) return wxDisplay(&window).GetClientArea();
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  wxRect room(area.x, area.y, area.width, area.height);
  if (WindowManagerKeepsSilentOn(widget, "_NET_WORKAREA")) room.Deflate(0, kGuessedPanel);
  return room;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------------------

TVPTabDialog::TVPTabDialog(wxWindow* parent, wxWindowID id, const wxString& caption,
                           const wxPoint& pos, const wxSize& size, long style)
{
  Create(parent, id, caption, pos, size, style);
}

TVPTabDialog::~TVPTabDialog() = default;

bool TVPTabDialog::Create(wxWindow* parent, wxWindowID id, const wxString& caption,
                          const wxPoint& pos, const wxSize& size, long style)
{
  // Command events of the controls stop at the dialog instead of reaching the hidden frame.
  SetExtraStyle(wxWS_EX_BLOCK_EVENTS);
  wxDialog::Create(parent, id, caption, pos, size, style, wxDialogNameStr);
  CreateControls();
  if (GetSizer() != nullptr) GetSizer()->SetSizeHints(this);
  FitIntoWorkArea();
  Centre(wxBOTH);
  m_centredSize = GetSize();
  m_centredAt = NativePlace(*this).GetPosition();
  return true;
}

void TVPTabDialog::CreateControls()
{
  // Every control inherits the 8-point dialog font; none is given one of its own.
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  font.SetPointSize(8);
  SetFont(font);
  CssProvider compactText = NewCompactTextStyle();

  wxBoxSizer* topSizer = new wxBoxSizer(wxVERTICAL);
  SetSizer(topSizer);
  wxBoxSizer* mainColumn = new wxBoxSizer(wxVERTICAL);
  topSizer->Add(mainColumn, 1, wxGROW | wxALL, 5);

  // Header: logo and badge, the document's path and our namespace.
  wxGridBagSizer* header = new wxGridBagSizer(10, 25);
  mainColumn->Add(header, 0, wxALL, 5);
  header->Add(new wxStaticBitmap(this, wxID_STATIC, GetBitmapResource("Tovarinplus_KL2.xpm"),
                                 wxDefaultPosition, wxDefaultSize, 0),
              wxGBPosition(0, 0), wxGBSpan(1, 1), 0, 0);
  header->Add(
      new wxStaticText(this, wxID_STATIC, _("PDF file"), wxDefaultPosition, wxDefaultSize, 0),
      wxGBPosition(0, 1), wxGBSpan(1, 1), 0, 0);
  m_pdfFile = NewHeaderText(this, ID_TVP_PDF_FILE, wxEmptyString);
  header->Add(m_pdfFile, wxGBPosition(0, 2), wxGBSpan(2, 4), 0, 0);
  header->Add(new wxStaticBitmap(this, wxID_STATIC, GetBitmapResource("GWG_compliant.xpm"),
                                 wxDefaultPosition, wxDefaultSize, 0),
              wxGBPosition(2, 0), wxGBSpan(1, 1), 0, 0);
  header->Add(
      new wxStaticText(this, wxID_STATIC, _("Namespace"), wxDefaultPosition, wxDefaultSize, 0),
      wxGBPosition(2, 1), wxGBSpan(1, 1), 0, 0);
  header->Add(NewHeaderText(this, ID_TVP_NAMESPACE, kTVPNamespaceURI), wxGBPosition(2, 2),
              wxGBSpan(2, 4), 0, 0);

  wxNotebook* notebook =
      new wxNotebook(this, ID_TVP_NOTEBOOK, wxDefaultPosition, wxDefaultSize, wxNB_TOP);

  // Page 1: the job, the colour and the contact; every field on it is mandatory.
  {
    wxScrolledWindow* page = NewPage(notebook, ID_TVP_JOB_PAGE);
    wxBoxSizer* pageSizer = new wxBoxSizer(wxVERTICAL);
    page->SetSizer(pageSizer);
    wxGridBagSizer* grid = new wxGridBagSizer(10, 20);
    pageSizer->Add(grid, 0, wxALL, 5);

    AddLabel(page, grid, "   Order ID", 0, 0);
    m_ediorderid = AddField(page, grid, ID_TVP_EDIORDERID, kNarrow, 0, 1, 1);
    AddLabel(page, grid, "reservation number if known, otherwise 000", 0, 2, 2);
    AddLabel(page, grid, "   Job ID", 1, 0);
    m_jobid = AddField(page, grid, ID_TVP_JOBID, kWide, 1, 1, 2);
    AddLabel(page, grid, "filename", 1, 3);
    AddLabel(page, grid, "Client ID", 2, 0);
    AddLabel(page, grid, "   Media Agency", 3, 0);
    m_client = AddField(page, grid, ID_TVP_CLIENT, kWide, 3, 1, 4);
    AddLabel(page, grid, "   Creative Agency", 4, 0);
    m_agency = AddField(page, grid, ID_TVP_AGENCY, kWide, 4, 1, 4);
    AddLabel(page, grid, "   Service Office", 5, 0);
    m_service = AddField(page, grid, ID_TVP_SERVICE, kWide, 5, 1, 4);
    AddLabel(page, grid, "   Advertiser", 6, 0);
    m_advertiser = AddField(page, grid, ID_TVP_ADVERTISER, kWide, 6, 1, 4);
    AddLabel(page, grid, "   First publication date", 7, 0);
    m_firstpub = AddField(page, grid, ID_TVP_FIRSTPUB, kNarrow, 7, 1, 1);
    AddLabel(page, grid, "(preferably DDMMYYYY)", 7, 2);
    AddLabel(page, grid, "   Title/publication", 8, 0);
    m_location = AddField(page, grid, ID_TVP_LOCATION, kWide, 8, 1, 4);
    AddLabel(page, grid, "   Theme", 9, 0);
    m_theme = AddField(page, grid, ID_TVP_THEME, kWide, 9, 1, 4);
    AddLabel(page, grid, "Colour", 10, 0);

    wxBoxSizer* colourRow = new wxBoxSizer(wxHORIZONTAL);
    grid->Add(colourRow, wxGBPosition(11, 0), wxGBSpan(1, 1), 0, 0);
    const wxString colours[] = {_("B/W"), _("Full"), _("Spot")};
    m_colourRadio = new wxRadioBox(page, ID_TVP_RADIOBOX, wxGetTranslation(""), wxDefaultPosition,
                                   wxDefaultSize, WXSIZEOF(colours), colours, 1, wxRA_SPECIFY_ROWS);
    colourRow->Add(m_colourRadio, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 15);
    // Beside the "Spot" choice. A fixed point can only land there for one set of control
    // heights (GTK's are taller than the small ones it was made for, and the row lower), so
    // the text takes the grid cell right of the colour row instead.
    m_spotcolour = new wxTextCtrl(page, ID_TVP_SPOTCOLOUR, wxEmptyString, wxDefaultPosition,
                                  wxSize(kWide, -1), 0);
    grid->Add(m_spotcolour, wxGBPosition(11, 1), wxGBSpan(1, 4), wxALIGN_CENTER_VERTICAL, 0);

    AddLabel(page, grid, "Contact (name)", 12, 0);
    m_contact = AddField(page, grid, ID_TVP_CONTACT, kWide, 12, 1, 4);
    AddLabel(page, grid, "Phone", 13, 0);
    m_phone = AddField(page, grid, ID_TVP_PHONE, kWide, 13, 1, 4);
    AddLabel(page, grid, "Email", 14, 0);
    m_email = AddField(page, grid, ID_TVP_EMAIL, kWide, 14, 1, 4);

    pageSizer->Add(5, 5, 0, wxALIGN_CENTER_HORIZONTAL, 5);
    MakeTextsCompact(page, compactText.get());
    notebook->AddPage(page, _("Job info (mandatory)"), false, -1);
  }

  // Page 2: the size, the bleed and the optional fields.
  {
    wxScrolledWindow* page = NewPage(notebook, ID_TVP_EXTRA_PAGE);
    wxBoxSizer* pageSizer = new wxBoxSizer(wxVERTICAL);
    page->SetSizer(pageSizer);

    const wxString sizes[] = {_("Fixed size"), _("Width/height")};
    m_sizeRadio = new wxRadioBox(page, ID_TVP_RADIOBOX, wxGetTranslation(""), wxDefaultPosition,
                                 wxDefaultSize, WXSIZEOF(sizes), sizes, 1, wxRA_SPECIFY_COLS);
    m_sizeRadio->SetSelection(0);
    // Vertical centring means nothing in a vertical sizer (and wx 3.2 asserts on it): wxALL only.
    pageSizer->Add(m_sizeRadio, 0, wxALL, 5);
    // Placed by hand beside the "Fixed size" choice; no sizer moves or sizes it.
    m_fixedsize = new wxTextCtrl(page, ID_TVP_FIXEDSIZE, wxEmptyString, wxPoint(140, 8),
                                 wxSize(kNarrow, -1), 0);

    wxGridBagSizer* sizeGrid = new wxGridBagSizer(10, 20);
    pageSizer->Add(sizeGrid, 0, wxALL, 5);
    AddLabel(page, sizeGrid, "     Width (mm)", 0, 0);
    m_mmwidth = AddField(page, sizeGrid, ID_TVP_MMWIDTH, kNarrow, 0, 1, 4);
    AddLabel(page, sizeGrid, "     Width (colums)", 1, 0);
    m_cwidth = AddField(page, sizeGrid, ID_TVP_CWIDTH, kNarrow, 1, 1, 4);
    AddLabel(page, sizeGrid, "     Height (mm)", 2, 0);
    m_height = AddField(page, sizeGrid, ID_TVP_HEIGHT, kNarrow, 2, 1, 4);
    AddLabel(page, sizeGrid, "     Bleed", 3, 0);
    m_bleed = AddField(page, sizeGrid, ID_TVP_BLEED, kNarrow, 3, 1, 3);
    AddLabel(page, sizeGrid, "(YES/NO)", 3, 4);

    wxGridBagSizer* optionalGrid = new wxGridBagSizer(10, 20);
    pageSizer->Add(optionalGrid, 0, wxALL, 5);
    AddLabel(page, optionalGrid, "Brand", 0, 0);
    m_brand = AddField(page, optionalGrid, ID_TVP_BRAND, kWide, 0, 1, 4);
    AddLabel(page, optionalGrid, "Fax", 1, 0);
    m_fax = AddField(page, optionalGrid, ID_TVP_FAX, kWide, 1, 1, 4);
    AddLabel(page, optionalGrid, "Destination", 2, 0);
    m_destination = AddField(page, optionalGrid, ID_TVP_DESTINATION, kWide, 2, 1, 4);
    AddLabel(page, optionalGrid, "Remarks", 3, 0);
    m_remarks = AddField(page, optionalGrid, ID_TVP_REMARKS, kWide, 3, 1, 4);

    pageSizer->Add(5, 5, 0, wxALIGN_CENTER_HORIZONTAL, 5);
    MakeTextsCompact(page, compactText.get());
    notebook->AddPage(page, _("Extra info (non mandatory)"), false, -1);
  }
  mainColumn->Add(notebook, 1, wxGROW | wxALL, 5);

  // Button row, pushed to the right by a stretching spacer.
  wxBoxSizer* buttonRow = new wxBoxSizer(wxHORIZONTAL);
  mainColumn->Add(buttonRow, 0, wxGROW, 5);
  buttonRow->Add(5, 5, 1, wxALIGN_CENTER_VERTICAL | wxALL, 5);
  const struct {
    wxWindowID id;
    const char* label;
  } buttons[] = {
      {ID_TVP_IMPORT, "&Import..."}, {ID_TVP_EXPORT, "&Export..."}, {ID_TVP_PRINT, "&Print..."},
      {ID_TVP_SAVE, "&Save"},        {ID_TVP_CLOSE, "&Close"},
  };
  for (const auto& button : buttons)
    buttonRow->Add(new wxButton(this, button.id, wxGetTranslation(button.label)), 0,
                   wxALIGN_CENTER_VERTICAL | wxALL, 5);

  // The active document, if any: its path, then its ticket. No frame of ours guards this.
  AVDoc view = AVAppGetActiveDoc();
  if (view == nullptr) return;
  PDDoc document = AVDocGetPDDoc(view);
  ShowPathEnd(m_pdfFile, DocumentPathText(document));
  ImportMetaDataFromPDF(document);
}

wxBitmap TVPTabDialog::GetBitmapResource(const wxString& name)
{
  if (name == "Tovarinplus_KL2.xpm") return PictureFromXpm(Tovarinplus_KL2_xpm);
  if (name == "GWG_compliant.xpm") return PictureFromXpm(GWG_compliant_xpm);
  return wxNullBitmap;
}

// ---------------------------------------------------------------------------------------------
// Buttons
// ---------------------------------------------------------------------------------------------

void TVPTabDialog::OnButtonQuit(wxCommandEvent& WXUNUSED(event))
{
  AskToQuit();
}

void TVPTabDialog::OnCloseWindow(wxCloseEvent& event)
{
  // The title bar's close button and Alt+F4 must not drop the edits without a word.
  if (!AskToQuit() && event.CanVeto()) event.Veto();
}

void TVPTabDialog::OnSize(wxSizeEvent& event)
{
  // Create centres the dialog on a size that counts the toolkit's guess at the frame around
  // it; once shown, the real frame changes the size, and the dialog is centred again on it.
  // With the real frame the dialog may no longer fit the work area: it is fitted again first.
  event.Skip();
  PlaceOnItsMonitor();
}

void TVPTabDialog::OnShow(wxShowEvent& event)
{
  // The host may have moved the window to the monitor of its own window before showing it.
  event.Skip();
  if (event.IsShown()) PlaceOnItsMonitor();
}

void TVPTabDialog::PlaceOnItsMonitor()
{
  if (GetSize() == m_centredSize && NativePlace(*this).GetPosition() == m_centredAt) return;
  FitIntoWorkArea();
  m_centredSize = GetSize();
  // Centred with its frame on the work area of the monitor that holds it: not on the hidden
  // parent's monitor (the first), which may not be the one the user looks at.
  const wxRect area = RoomOnMonitorOf(*this);
  const wxSize frame = FrameAround(*this);
  const wxSize outer = GetClientSize() + wxSize(frame.x, frame.y);
  const wxPoint at(area.x + std::max(0, (area.width - outer.x) / 2),
                   area.y + std::max(0, (area.height - outer.y) / 2));
  m_centredAt = at;
  // Told to the native window as well: the toolkit's idea of the place may predate the host's.
  Move(at);
  gtk_window_move(GTK_WINDOW(GetHandle()), at.x, at.y);
}

void TVPTabDialog::FitIntoWorkArea()
{
  wxNotebook* notebook = dynamic_cast<wxNotebook*>(FindWindow(ID_TVP_NOTEBOOK));
  if (notebook == nullptr || GetSizer() == nullptr) return;
  std::vector<wxScrolledWindow*> pages;
  for (size_t i = 0; i < notebook->GetPageCount(); ++i)
    if (auto* page = dynamic_cast<wxScrolledWindow*>(notebook->GetPage(i))) pages.push_back(page);

  // What the layout asks for, measured afresh: texts measure differently once they are shown.
  const bool wasFitted = notebook->GetMinSize() != wxDefaultSize;
  if (wasFitted) {
    notebook->SetMinSize(wxDefaultSize);
    for (wxScrolledWindow* page : pages) {
      page->SetScrollRate(0, 0);
      page->InvalidateBestSize();
    }
  }
  const wxSize layout = GetSizer()->GetMinSize();
  const wxSize book = notebook->GetEffectiveMinSize();

  // The client's room: the work area (the screen less panels and docks) less the frame, as far
  // as the toolkit knows it yet.
  const wxSize room = RoomOnMonitorOf(*this).GetSize() - FrameAround(*this);
  const int bar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
  const bool down = layout.y > room.y;
  const bool across = layout.x + (down ? bar : 0) > room.x;
  if (down || across) {
    // The notebook alone gives up what is lacking, and gains room for the scroll bars its
    // pages then show; header and buttons keep their size and stay in view.
    const wxSize client(std::min(layout.x + (down ? bar : 0), room.x),
                        std::min(layout.y + (across ? bar : 0), room.y));
    notebook->SetMinSize(book + (client - layout));
    for (wxScrolledWindow* page : pages)
      page->SetScrollRate(across ? kScrollStep : 0, down ? kScrollStep : 0);
  } else if (!wasFitted) {
    return;  // the layout fits as it is
  }
  GetSizer()->SetSizeHints(this);
  Layout();
}

bool TVPTabDialog::AskToQuit()
{
  if (AVAlert(ALERT_CAUTION, "Are you sure you want to quit?", "Yes", "No", nullptr, false) != 1)
    return false;  // the dialog stays open with every edit
  EndModal(wxID_CANCEL);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Validation
// ---------------------------------------------------------------------------------------------

bool TVPTabDialog::IsTVPPropFilled(wxTextCtrl* control)
{
  if (control == nullptr) return false;
  const wxString value = control->GetValue();
  // Only the space counts as blank: a tab or a line break is content.
  return value.find_first_not_of(' ') != wxString::npos && value.length() <= kTVPMaxFieldLength;
}

bool TVPTabDialog::IsEmailPropFilled(wxTextCtrl* control)
{
  if (control == nullptr) return false;
  const wxString value = control->GetValue();
  return value.find('@') != wxString::npos && value.length() <= kTVPMaxFieldLength;
}

bool TVPTabDialog::CheckTVPPropLen(wxTextCtrl* control)
{
  return control != nullptr && control->GetValue().length() <= kTVPMaxFieldLength;
}

bool TVPTabDialog::CheckValidData()
{
  typedef bool (TVPTabDialog::*FieldTest)(wxTextCtrl*);
  const struct {
    wxTextCtrl* control;
    FieldTest test;
    const char* message;
  } mandatory[] = {
      {m_ediorderid, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Order ID' has no value or its value is too long"},
      {m_jobid, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Job ID' has no value or its value is too long"},
      {m_client, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Media Agency' has no value or its value is too long"},
      {m_agency, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Creative Agency' has no value or its value is too long"},
      {m_service, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Service office' has no value or its value is too long"},
      {m_advertiser, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Advertiser' has no value or its value is too long"},
      {m_firstpub, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'First Publication Date' has no value or its value is too long"},
      {m_location, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Title/publication' has no value or its value is too long"},
      {m_theme, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Theme' has no value or its value is too long"},
      {m_contact, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Contact' has no value or its value is too long"},
      {m_phone, &TVPTabDialog::IsTVPPropFilled,
       "The mandatory 'Phone' has no value or its value is too long"},
      {m_email, &TVPTabDialog::IsEmailPropFilled,
       "The mandatory 'Email' has no or an invalid value or its value is too long"},
  };
  for (const auto& field : mandatory) {
    if (!(this->*field.test)(field.control)) {
      AVAlertNote(field.message);
      return false;
    }
  }

  const int colour = m_colourRadio != nullptr ? m_colourRadio->GetSelection() : wxNOT_FOUND;
  if (colour != 0 && colour != 1 && colour != 2) {
    AVAlertNote("At least one of the possible colour sheme should be checked");
    return false;
  }
  if (colour == 2 && !IsTVPPropFilled(m_spotcolour)) {
    AVAlertNote("A pantone colour should be entered if the colour sheme is spotcolour");
    return false;
  }

  // The bleed is examined only when it holds something; an accepted answer is put in capitals.
  if (IsTVPPropFilled(m_bleed)) {
    const wxString bleed = m_bleed->GetValue();
    if (bleed == "YES" || bleed == "yes" || bleed == "Yes") {
      m_bleed->SetValue("YES");
    } else if (bleed == "NO" || bleed == "no" || bleed == "No") {
      m_bleed->SetValue("NO");
    } else {
      AVAlertNote("Only 'YES' or 'NO' are allowed for 'Bleed'");
      return false;
    }
  }

  const struct {
    wxTextCtrl* control;
    const char* message;
  } optional[] = {
      {m_brand, "The value for the optional 'Brand' is too long"},
      {m_fax, "The value for the optional 'Fax' is too long"},
      {m_destination, "The value for the optional 'Destination' is too long"},
      {m_remarks, "The value for the optional 'Remarks' is too long"},
  };
  for (const auto& field : optional) {
    if (!CheckTVPPropLen(field.control)) {
      AVAlertNote(field.message);
      return false;
    }
  }
  return true;
}
