// The Ad Ticket dialog: the modal editor of the ticket's 24 fields on two notebook pages, with
// the buttons that validate, save, import, export and print the ticket.
#ifndef TVP_TAB_DIALOG_H
#define TVP_TAB_DIALOG_H

#include <wx/bitmap.h>
#include <wx/dialog.h>

#include "PIHost.h"

class wxRadioBox;
class wxTextCtrl;

// The XMP Toolkit's metadata object (exempi's).
typedef struct _Xmp XMPMeta;

// Our own ticket schema's namespace: shown in the dialog, written into documents and exports.
#define kTVPNamespaceURI "http://ns.tovarin.com/tvp/adticket/1.0/"

// The published Ad Ticket schemas the ticket is also saved under.
#define kADSNamespaceURI "http://adsml.org/xmlns/"
#define kGWGNamespaceURI "http://www.gwg.org/jt/xmlns/"

// Property names by field number; row 0 names the RDF root, unused rows are empty.
extern const char tvpValidatorTags[32][32];
extern const char adsValidatorTags[32][32];

// The longest text, in characters, that a ticket field may hold.
#define kTVPMaxFieldLength 1024

// Size of the buffer that holds an imported XML file with its terminating NUL.
#define kTVPImportBufferSize 32000

// WINDOW IDENTIFIERS: fixed numbers, by which every part of the plug-in and its tests find them.
enum {
  ID_TVP_NOTEBOOK = 10004,
  ID_TVP_JOB_PAGE = 10006,
  ID_TVP_RADIOBOX = 10035,  // both radio boxes; no handler refers to it
  ID_TVP_EXTRA_PAGE = 10040,
  ID_TVP_PDF_FILE = 10050,
  ID_TVP_NAMESPACE = 10051,
  ID_TVP_EDIORDERID = 10052,
  ID_TVP_JOBID = 10053,
  ID_TVP_CLIENT = 10054,
  ID_TVP_AGENCY = 10055,
  ID_TVP_SERVICE = 10056,
  ID_TVP_ADVERTISER = 10057,
  ID_TVP_FIRSTPUB = 10058,
  ID_TVP_LOCATION = 10059,
  ID_TVP_THEME = 10060,
  ID_TVP_SPOTCOLOUR = 10061,
  ID_TVP_CONTACT = 10062,
  ID_TVP_PHONE = 10063,
  ID_TVP_EMAIL = 10064,
  ID_TVP_FIXEDSIZE = 10065,
  ID_TVP_MMWIDTH = 10066,
  ID_TVP_CWIDTH = 10067,
  ID_TVP_HEIGHT = 10068,
  ID_TVP_BLEED = 10069,
  ID_TVP_BRAND = 10070,
  ID_TVP_FAX = 10071,
  ID_TVP_DESTINATION = 10072,
  ID_TVP_REMARKS = 10073,
  ID_TVP_IMPORT = 10074,
  ID_TVP_EXPORT = 10075,
  ID_TVP_PRINT = 10076,
  ID_TVP_SAVE = 10077,
  ID_TVP_CLOSE = 10078,
};

class TVPTabDialog : public wxDialog {
 public:
  // Builds every control and shows the active document's path; see Create.
  TVPTabDialog(wxWindow* parent, wxWindowID id, const wxString& caption, const wxPoint& pos,
               const wxSize& size, long style);
  ~TVPTabDialog() override;

  // Creates the window, its controls and layout, sized to fit and centred. Returns true.
  bool Create(wxWindow* parent, wxWindowID id, const wxString& caption, const wxPoint& pos,
              const wxSize& size, long style);
  // Builds fonts, sizers and controls, then loads from the active document, if any.
  void CreateControls();
  // The bitmap of a built-in picture by its resource name; wxNullBitmap for any other name.
  wxBitmap GetBitmapResource(const wxString& name);

  // BUTTON HANDLERS
  void OnButtonImport(wxCommandEvent& event);
  void OnButtonExport(wxCommandEvent& event);
  void OnButtonPrint(wxCommandEvent& event);
  void OnButtonSave(wxCommandEvent& event);
  void OnButtonQuit(wxCommandEvent& event);
  // A close request from the window manager (title-bar button, Alt+F4): the Close question.
  void OnCloseWindow(wxCloseEvent& event);
  // The window's final size, once its frame is known, or a new place the host gave it: fitted
  // and centred again on the monitor that holds it.
  void OnSize(wxSizeEvent& event);
  void OnShow(wxShowEvent& event);
  // Fits the dialog to the monitor that holds it and centres it there, unless it already lies
  // where it was last centred with the size it was centred on.
  void PlaceOnItsMonitor();
  // Keeps the whole window, frame included, in the monitor's work area: where the layout is
  // too big for it, the notebook gets smaller and its pages scroll. A layout that fits is left
  // as it is.
  void FitIntoWorkArea();

  // VALIDATION
  // Tests the fields in their fixed order; the first that fails shows its message in a note
  // alert and makes the result false. An accepted bleed is rewritten as "YES" or "NO".
  bool CheckValidData();
  // A mandatory text: some character other than a space, and at most 1024 characters.
  bool IsTVPPropFilled(wxTextCtrl* control);
  // The e-mail text: an at sign somewhere, and at most 1024 characters.
  bool IsEmailPropFilled(wxTextCtrl* control);
  // An optional text: at most 1024 characters; empty passes.
  bool CheckTVPPropLen(wxTextCtrl* control);

  // LOADING FROM THE DOCUMENT
  // Fills the fields from the ticket stored in the document's XMP metadata.
  void ImportMetaDataFromPDF(PDDoc doc);
  // The loading passes over an XMP text, one per schema. The tvp pass returns false when its
  // scan failed or it found no field and stopped; true when it filled the fields or the user
  // declined an incomplete ticket.
  bool GetTVPMetadataFromBuffer(char* text, bool checkNone, bool askIfIncomplete, bool askIfNone);
  void GetADSMetadataFromBuffer(char* text, bool checkNone, bool askIfIncomplete);
  void GetGwgMetadataFromBuffer(char* text, bool checkNone, bool askIfIncomplete);

  // IMPORT: the host's open dialog for files of `type`, each chosen file read whole into
  // `buffer` through a handle in `files`. False when cancelled, after a host error (shown), or
  // when a file was too long for the buffer or not text.
  bool importXMLData(char* type, char* buffer, ASFile* files);

  // EXPORT: the 24 tvp properties set on an XMP object, the clearings done in the dialog.
  void ExportTDPtoMETAXAP(XMPMeta** meta);
  void SetTVPProp(XMPMeta** meta, wxTextCtrl* control, const char* namespaceURI, const char* tag);
  void SetTVPPropFromCB(XMPMeta** meta, wxRadioBox* box, int index, const char* namespaceURI,
                        const char* tag);

  // SAVING INTO THE DOCUMENT: one host metadata call per property
  void ExportTDPtoMETAXAPUsingSDK(PDDoc doc);
  void ExportADStoMETAXAPUsingSDK(PDDoc doc);
  void SetTVPPropUsingSDK(wxTextCtrl* control, const char* namespaceUri, const char* name,
                          PDDoc doc);
  void SetADSPropUsingSDK(wxTextCtrl* control, const char* namespaceUri, const char* name,
                          PDDoc doc);
  void SetGWGPropUsingSDK(wxTextCtrl* control, const char* namespaceUri, const char* name,
                          PDDoc doc);
  // "True" for a text of exactly "YES", "False" for "NO", else the empty text.
  void SetADSPropSpecialUsingSDK(wxTextCtrl* control, const char* namespaceUri, const char* name,
                                 PDDoc doc);
  // "YES" when the radio box has `button` selected, else "NO".
  void SetTVPPropFromCBUsingSDK(wxRadioBox* radio, int button, const char* namespaceUri,
                                const char* name, PDDoc doc);
  void SetADSPropToValueUsingSDK(const char* namespaceUri, const char* name, const char* value,
                                 PDDoc doc);
  void SetADSPropFromCBUsingSDK(const char* namespaceUri, const char* name, PDDoc doc,
                                const char* value);
  // Empties, in the dialog itself, the texts the colour and size choices do not use.
  void ClearUnusedSpotColour();
  void ClearUnusedSizes();

  // The text control of ticket field 1 to 24 (the spot-colour and fixed-size texts for 12 and
  // 16); null for the two colour flags and any other number.
  wxTextCtrl* FieldText(int field) const;

 private:
  // "Are you sure you want to quit?"; on "Yes" ends the modal run. Returns whether it did.
  bool AskToQuit();

  // Non-owning: the window tree owns every control.
  wxTextCtrl* m_pdfFile = nullptr;
  wxTextCtrl* m_ediorderid = nullptr;
  wxTextCtrl* m_jobid = nullptr;
  wxTextCtrl* m_client = nullptr;
  wxTextCtrl* m_agency = nullptr;
  wxTextCtrl* m_service = nullptr;
  wxTextCtrl* m_advertiser = nullptr;
  wxTextCtrl* m_firstpub = nullptr;
  wxTextCtrl* m_location = nullptr;
  wxTextCtrl* m_theme = nullptr;
  wxTextCtrl* m_spotcolour = nullptr;
  wxTextCtrl* m_contact = nullptr;
  wxTextCtrl* m_phone = nullptr;
  wxTextCtrl* m_email = nullptr;
  wxTextCtrl* m_fixedsize = nullptr;
  wxTextCtrl* m_mmwidth = nullptr;
  wxTextCtrl* m_cwidth = nullptr;
  wxTextCtrl* m_height = nullptr;
  wxTextCtrl* m_bleed = nullptr;
  wxTextCtrl* m_brand = nullptr;
  wxTextCtrl* m_fax = nullptr;
  wxTextCtrl* m_destination = nullptr;
  wxTextCtrl* m_remarks = nullptr;
  wxRadioBox* m_colourRadio = nullptr;
  wxRadioBox* m_sizeRadio = nullptr;
  // The size the dialog was last centred on, and the place it was given then.
  wxSize m_centredSize;
  wxPoint m_centredAt;
  // The text of an imported XML file, written by the import before anything reads it.
  char m_importBuffer[kTVPImportBufferSize];

  wxDECLARE_EVENT_TABLE();
};

// Reads a whole file from its start into the import buffer and closes it (clearing the handle
// first). False when the file holds a NUL byte or more than the buffer takes: nothing past the
// buffer is ever written.
bool readXMLData(ASFile* file, char* buffer);

#endif
