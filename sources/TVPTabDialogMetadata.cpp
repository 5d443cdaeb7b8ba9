// The Ad Ticket dialog and the document's XMP metadata: loading the ticket when the dialog
// opens (and after an import), and the save command that writes it under three schemas.
#include <wx/radiobox.h>
#include <wx/textctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <cstring>

#include "TVPTabDialog.h"
#include "TovarinPluginInit.h"
#include "metadataValidator.h"

// ---------------------------------------------------------------------------------------------
// Property names
// ---------------------------------------------------------------------------------------------

const char tvpValidatorTags[32][32] = {
    "RDF",      "ediorderid", "jobid",      "client",     "agency",      "service",
    "advertiser", "firstpub", "location",   "theme",      "bwcolour",    "fullcolour",
    "spotcolour", "contact",  "phone",      "email",      "fixedsize",   "mmwidth",
    "cwidth",   "height",     "bleed",      "brand",      "fax",         "destination",
    "remarks",
};

const char adsValidatorTags[32][32] = {
    "RDF",          "PrimaryMaterialsID", "SellerPlacementID", "BuyerName",
    "CreatorName",  "PrepressName",       "AdvertiserName",    "FirstPublication",
    "Publication",  "ProductDescription", "Color",             "ColorDescription",
    "PrepressContact", "PrepressTelephone", "PrepressEmail",   "PrintFixedArea",
    "PrintWidthValue", "PrintHeightValue", "Bleed",            "AdvertisedProduct",
    "PrepressFax",  "Remarks",
};

namespace {

const char* const kParseError = "Error parsing XML data";
const char* const kNoneQuestion = "No Tovarin+ metadata found in file. \nDo you want to continue?";
const char* const kIncompleteQuestion =
    "Found Tovarin+ metadata in file is incomplete. \nDo you want to continue?";

// Asks a loading question; only "No" (the second button) stops.
bool UserDeclines(const char* question)
{
  return AVAlert(ALERT_CAUTION, question, "Yes", "No", nullptr, false) == 2;
}

// Releases a scanner list on every way out of a pass.
class ValueList {
 public:
  ValueList() = default;
  ~ValueList() { DataRelease(&head_); }
  ValueList(const ValueList&) = delete;
  ValueList& operator=(const ValueList&) = delete;
  tvpData** address() { return &head_; }

  // The value of a field: the first node with its number decides; null when it has none.
  const char* Value(int field) const
  {
    for (const tvpData* node = head_ != nullptr ? head_->nextItem : nullptr; node != nullptr;
         node = node->nextItem)
      if (node->tagIndex == field)
        return node->tagValue;
    return nullptr;
  }
  bool Has(int field) const { return Value(field) != nullptr; }
  bool Is(int field, const char* text) const
  {
    const char* value = Value(field);
    return value != nullptr && std::strcmp(value, text) == 0;
  }
  bool HasNonEmpty(int field) const
  {
    const char* value = Value(field);
    return value != nullptr && value[0] != '\0';
  }

 private:
  tvpData* head_ = nullptr;
};

// Counts the fields 1 to `last` that carry a value; a plain colour choice makes up for a missing
// colour description.
int CountFields(const ValueList& list, int last)
{
  int count = 0;
  for (int field = 1; field <= last; ++field)
    if (list.Has(field))
      ++count;
  return count;
}

// A value as the scan found it, with XML character references decoded: the packet escapes "&",
// "<", ">" and quotes, and without decoding every load and save would add another "amp;".
std::string DecodeXmlReferences(const char* value)
{
  static const struct {
    const char* entity;
    char character;
  } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string decoded;
  for (const char* at = value; *at != '\0';) {
    if (*at == '&') {
      bool replaced = false;
      for (const auto& entity : kEntities) {
        std::size_t length = std::strlen(entity.entity);
        if (std::strncmp(at, entity.entity, length) == 0) {
          decoded += entity.character;
          at += length;
          replaced = true;
          break;
        }
      }
      if (!replaced && at[1] == '#') {
        bool hex = at[2] == 'x' || at[2] == 'X';
        char* end = nullptr;
        unsigned long code = std::strtoul(at + (hex ? 3 : 2), &end, hex ? 16 : 10);
        if (end != nullptr && *end == ';' && end > at + (hex ? 3 : 2) && code > 0 && code <= 0x10FFFF &&
            (code < 0xD800 || code > 0xDFFF)) {
          decoded += wxString(wxUniChar(static_cast<wxUint32>(code))).ToUTF8().data();
          at = end + 1;
          replaced = true;
        }
      }
      if (replaced)
        continue;
    }
    decoded += *at++;
  }
  return decoded;
}

void SetText(wxTextCtrl* control, const char* value)
{
  if (control != nullptr)
    control->SetValue(value != nullptr ? wxString::FromUTF8(DecodeXmlReferences(value))
                                       : wxString());
}

// Where the document binds a schema's namespace to a prefix of its own, a copy of the text with
// the system's prefix in its place, in a buffer of kTVPImportBufferSize bytes.
enum PrefixResult { kScanInput, kScanCopy, kCopyTooLong };

PrefixResult NormalisePrefix(const char* text, const char* namespaceUri, const char* systemPrefix,
                             char* copy)
{
  char pattern[256];
  std::snprintf(pattern, sizeof pattern, "='%s'", namespaceUri);
  const char* declared = std::strstr(text, pattern);
  if (declared == nullptr)
    return kScanInput;
  const char* searchFrom = declared - text >= 20 ? declared - 20 : text;
  const char* xmlns = std::strstr(searchFrom, "xmlns:");
  if (xmlns == nullptr || xmlns >= declared)
    return kScanInput;
  const char* name = xmlns + 6;
  char documentPrefix[32] = {0};
  std::size_t nameLength = static_cast<std::size_t>(declared - name);
  std::memcpy(documentPrefix, name, nameLength);
  documentPrefix[nameLength] = ':';
  char wanted[32];
  std::snprintf(wanted, sizeof wanted, "%s:", systemPrefix);
  if (std::strcmp(documentPrefix, wanted) == 0)
    return kScanInput;

  std::memset(copy, 0, kTVPImportBufferSize);
  std::size_t used = 0;
  // Appends bytes, refusing anything that would not leave room for the terminating NUL.
  auto append = [&](const char* bytes, std::size_t length) {
    if (used + length >= kTVPImportBufferSize)
      return false;
    std::memcpy(copy + used, bytes, length);
    used += length;
    return true;
  };
  if (!append(text, static_cast<std::size_t>(name - text)) ||
      !append(systemPrefix, std::strlen(systemPrefix)))
    return kCopyTooLong;
  const std::size_t prefixLength = std::strlen(documentPrefix);
  int replaced = 0;
  const char* rest = declared;
  for (const char* use; (use = std::strstr(rest, documentPrefix)) != nullptr;
       rest = use + prefixLength) {
    if (!append(rest, static_cast<std::size_t>(use - rest)) || !append(wanted, std::strlen(wanted)))
      return kCopyTooLong;
    ++replaced;
  }
  if (!append(rest, std::strlen(rest)))
    return kCopyTooLong;
  return replaced > 0 ? kScanCopy : kScanInput;
}

// Normalises the prefix, then scans with a validator. False (after the alert) when the scan
// failed or the rewritten copy would not fit.
bool ScanText(const char* text, const char* namespaceUri, const char* systemPrefix,
              int (*validate)(const char*, tvpData**), ValueList& list)
{
  char copy[kTVPImportBufferSize];
  PrefixResult prefix = NormalisePrefix(text, namespaceUri, systemPrefix, copy);
  if (prefix == kCopyTooLong ||
      validate(prefix == kScanCopy ? copy : text, list.address()) != kScanOK) {
    AVAlertNote(kParseError);
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------------------------

wxTextCtrl* TVPTabDialog::FieldText(int field) const
{
  wxTextCtrl* const texts[] = {
      nullptr,      m_ediorderid, m_jobid,   m_client, m_agency,  m_service,     m_advertiser,
      m_firstpub,   m_location,   m_theme,   nullptr,  nullptr,   m_spotcolour,  m_contact,
      m_phone,      m_email,      m_fixedsize, m_mmwidth, m_cwidth, m_height,    m_bleed,
      m_brand,      m_fax,        m_destination, m_remarks,
  };
  return field >= 1 && field <= 24 ? texts[field] : nullptr;
}

void TVPTabDialog::ImportMetaDataFromPDF(PDDoc doc)
{
  ASText packet = PDDocGetXAPMetadata(doc);
  if (packet == nullptr)
    return;
  ASInt32 length = 0;
  char* copy = ASTextGetPDTextCopy(packet, &length);
  if (length <= 0) {
    char empty[1] = "";
    GetTVPMetadataFromBuffer(empty, false, false, false);
  } else if (!GetTVPMetadataFromBuffer(copy, true, true, false)) {
    GetADSMetadataFromBuffer(copy, false, true);
    GetGwgMetadataFromBuffer(copy, false, true);
  }
  ASfree(copy);
  ASTextDestroy(packet);
}

bool TVPTabDialog::GetTVPMetadataFromBuffer(char* text, bool checkNone, bool askIfIncomplete,
                                            bool askIfNone)
{
  ValueList list;
  if (!ScanText(text, kTVPNamespaceURI, "tvp", tvpValidate, list))
    return false;

  int count = CountFields(list, 15);
  bool plainColour = list.Is(10, "YES") || list.Is(11, "YES");
  if (plainColour && !list.Has(12))
    ++count;
  if (count == 0 && checkNone) {
    if (!askIfNone || UserDeclines(kNoneQuestion))
      return false;
  } else if (count >= 1 && count <= 14 && askIfIncomplete && UserDeclines(kIncompleteQuestion)) {
    return true;
  }

  for (int field = 1; field <= 24; ++field) {
    const char* value = list.Value(field);
    switch (field) {
      case 10:
      case 11:
        if (list.Is(field, "YES") && m_colourRadio != nullptr)
          m_colourRadio->SetSelection(field == 10 ? 0 : 1);
        continue;
      case 12:
        if (list.HasNonEmpty(12) && m_colourRadio != nullptr)
          m_colourRadio->SetSelection(2);
        break;
      case 16:
        if (m_sizeRadio != nullptr)
          m_sizeRadio->SetSelection(list.HasNonEmpty(16) ? 0 : 1);
        break;
      default:
        break;
    }
    SetText(FieldText(field), value);
  }
  return true;
}

void TVPTabDialog::GetADSMetadataFromBuffer(char* text, bool checkNone, bool askIfIncomplete)
{
  ValueList list;
  if (!ScanText(text, kADSNamespaceURI, "adsml-at", adsMLValidate, list))
    return;
  // Emptied before the questions, so this stands even when the user declines.
  for (wxTextCtrl* control : {m_mmwidth, m_cwidth, m_height, m_bleed, m_brand, m_remarks,
                              m_destination})
    SetText(control, "");

  int count = CountFields(list, 14);
  bool plainColour = list.Is(10, "BW") || list.Is(10, "Color");
  if (plainColour && !list.Has(11))
    ++count;
  if (count == 0 && checkNone && UserDeclines(kNoneQuestion))
    return;
  if (count >= 1 && count <= 13 && askIfIncomplete && UserDeclines(kIncompleteQuestion))
    return;

  // AdsML field n fills the control of ticket field kTicketField[n].
  static const int kTicketField[22] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  0,
                                       12, 13, 14, 15, 16, 17, 19, 20, 21, 22, 24};
  for (int field = 1; field <= 21; ++field) {
    const char* value = list.Value(field);
    if (field == 10) {
      if (m_colourRadio != nullptr) {
        if (list.Is(10, "BW"))
          m_colourRadio->SetSelection(0);
        else if (list.Is(10, "Color"))
          m_colourRadio->SetSelection(1);
        else if (list.Is(10, "Spot"))
          m_colourRadio->SetSelection(2);
      }
      continue;
    }
    if (field == 15 && m_sizeRadio != nullptr)
      m_sizeRadio->SetSelection(list.HasNonEmpty(15) ? 0 : 1);
    if (field == 18 && value != nullptr) {
      if (std::strcmp(value, "True") == 0)
        value = "YES";
      else if (std::strcmp(value, "False") == 0)
        value = "NO";
    }
    SetText(FieldText(kTicketField[field]), value);
  }
}

void TVPTabDialog::GetGwgMetadataFromBuffer(char* text, bool WXUNUSED(checkNone),
                                            bool WXUNUSED(askIfIncomplete))
{
  ValueList list;
  if (!ScanText(text, kGWGNamespaceURI, "gwg-at", gwgValidate, list))
    return;
  SetText(m_destination, "");
  SetText(m_destination, list.Value(1));
}

// ---------------------------------------------------------------------------------------------
// Saving
// ---------------------------------------------------------------------------------------------

namespace {

// The four host texts of one property, destroyed in the order namespace, prefix, name, value on
// every path, a host error included.
class PropertyTexts {
 public:
  PropertyTexts(const char* namespaceUri, const char* prefix, const char* name)
  {
    texts_[0] = miHostTextFromBytes(namespaceUri);
    texts_[1] = miHostTextFromBytes(prefix);
    texts_[2] = miHostTextFromBytes(name);
  }
  ~PropertyTexts()
  {
    for (ASText text : texts_)
      if (text != nullptr)
        ASTextDestroy(text);
  }
  PropertyTexts(const PropertyTexts&) = delete;
  PropertyTexts& operator=(const PropertyTexts&) = delete;

  void Set(PDDoc doc, const char* value)
  {
    texts_[3] = miHostTextFromBytes(value);
    PDDocSetXAPMetadataProperty(doc, texts_[0], texts_[1], texts_[2], texts_[3]);
  }

 private:
  ASText texts_[4] = {nullptr, nullptr, nullptr, nullptr};
};

void SetProperty(const char* namespaceUri, const char* prefix, const char* name, const char* value,
                 PDDoc doc)
{
  PropertyTexts texts(namespaceUri, prefix, name);
  texts.Set(doc, value);
}

void SetPropertyFromText(wxTextCtrl* control, const char* namespaceUri, const char* prefix,
                         const char* name, PDDoc doc)
{
  if (control == nullptr)
    return;
  PropertyTexts texts(namespaceUri, prefix, name);
  texts.Set(doc, control->GetValue().ToUTF8().data());
}

}  // namespace

void TVPTabDialog::SetTVPPropUsingSDK(wxTextCtrl* control, const char* namespaceUri,
                                      const char* name, PDDoc doc)
{
  SetPropertyFromText(control, namespaceUri, "tvp", name, doc);
}

void TVPTabDialog::SetADSPropUsingSDK(wxTextCtrl* control, const char* namespaceUri,
                                      const char* name, PDDoc doc)
{
  SetPropertyFromText(control, namespaceUri, "adsml-at", name, doc);
}

void TVPTabDialog::SetGWGPropUsingSDK(wxTextCtrl* control, const char* namespaceUri,
                                      const char* name, PDDoc doc)
{
  SetPropertyFromText(control, namespaceUri, "gwg-at", name, doc);
}

void TVPTabDialog::SetADSPropSpecialUsingSDK(wxTextCtrl* control, const char* namespaceUri,
                                             const char* name, PDDoc doc)
{
  if (control == nullptr)
    return;
  PropertyTexts texts(namespaceUri, "adsml-at", name);
  wxString text = control->GetValue();
  texts.Set(doc, text == "YES" ? "True" : text == "NO" ? "False" : "");
}

void TVPTabDialog::SetTVPPropFromCBUsingSDK(wxRadioBox* radio, int button,
                                            const char* namespaceUri, const char* name, PDDoc doc)
{
  if (radio == nullptr)
    return;
  PropertyTexts texts(namespaceUri, "tvp", name);
  texts.Set(doc, radio->GetSelection() == button ? "YES" : "NO");
}

void TVPTabDialog::SetADSPropToValueUsingSDK(const char* namespaceUri, const char* name,
                                             const char* value, PDDoc doc)
{
  SetProperty(namespaceUri, "adsml-at", name, value, doc);
}

void TVPTabDialog::SetADSPropFromCBUsingSDK(const char* namespaceUri, const char* name, PDDoc doc,
                                            const char* value)
{
  SetProperty(namespaceUri, "adsml-at", name, value, doc);
}

void TVPTabDialog::ClearUnusedSpotColour()
{
  if (m_colourRadio != nullptr && m_colourRadio->GetSelection() != 2 && m_spotcolour != nullptr)
    m_spotcolour->SetValue(wxEmptyString);
}

void TVPTabDialog::ClearUnusedSizes()
{
  if (m_sizeRadio == nullptr)
    return;
  if (m_sizeRadio->GetSelection() == 0) {
    for (wxTextCtrl* control : {m_mmwidth, m_cwidth, m_height})
      if (control != nullptr)
        control->SetValue(wxEmptyString);
  } else if (m_fixedsize != nullptr) {
    m_fixedsize->SetValue(wxEmptyString);
  }
}

void TVPTabDialog::ExportTDPtoMETAXAPUsingSDK(PDDoc doc)
{
  const char* const ns = kTVPNamespaceURI;
  for (int field = 1; field <= 9; ++field)
    SetTVPPropUsingSDK(FieldText(field), ns, tvpValidatorTags[field], doc);
  for (int field : {13, 14, 15, 20, 21, 22, 23, 24})
    SetTVPPropUsingSDK(FieldText(field), ns, tvpValidatorTags[field], doc);
  SetTVPPropFromCBUsingSDK(m_colourRadio, 0, ns, tvpValidatorTags[10], doc);
  SetTVPPropFromCBUsingSDK(m_colourRadio, 1, ns, tvpValidatorTags[11], doc);
  ClearUnusedSpotColour();
  SetTVPPropUsingSDK(m_spotcolour, ns, tvpValidatorTags[12], doc);
  ClearUnusedSizes();
  for (int field = 16; field <= 19; ++field)
    SetTVPPropUsingSDK(FieldText(field), ns, tvpValidatorTags[field], doc);
}

void TVPTabDialog::ExportADStoMETAXAPUsingSDK(PDDoc doc)
{
  const char* const ns = kADSNamespaceURI;
  SetADSPropToValueUsingSDK(ns, "Profile", "GWG-v1_AD", doc);
  for (int row = 1; row <= 9; ++row)
    SetADSPropUsingSDK(FieldText(row), ns, adsValidatorTags[row], doc);
  SetADSPropUsingSDK(m_contact, ns, adsValidatorTags[12], doc);
  SetADSPropUsingSDK(m_phone, ns, adsValidatorTags[13], doc);
  SetADSPropUsingSDK(m_email, ns, adsValidatorTags[14], doc);
  SetADSPropSpecialUsingSDK(m_bleed, ns, adsValidatorTags[18], doc);
  SetADSPropUsingSDK(m_brand, ns, adsValidatorTags[19], doc);
  SetADSPropUsingSDK(m_fax, ns, adsValidatorTags[20], doc);
  SetADSPropUsingSDK(m_remarks, ns, adsValidatorTags[21], doc);
  int colour = m_colourRadio != nullptr ? m_colourRadio->GetSelection() : wxNOT_FOUND;
  SetADSPropFromCBUsingSDK(ns, adsValidatorTags[10], doc,
                           colour == 0 ? "BW" : colour == 1 ? "Color" : "Spot");
  ClearUnusedSpotColour();
  SetADSPropUsingSDK(m_spotcolour, ns, adsValidatorTags[11], doc);
  ClearUnusedSizes();
  const struct {
    wxTextCtrl* control;
    const char* unitName;
    const char* unit;
    int valueRow;
  } dimensions[] = {
      {m_mmwidth, "PrintWidthUnit", "mm", 16},
      {m_cwidth, "PrintWidthUnit", "column", 16},
      {m_height, "PrintHeightUnit", "mm", 17},
  };
  for (const auto& dimension : dimensions) {
    if (!IsTVPPropFilled(dimension.control))
      continue;
    SetADSPropToValueUsingSDK(ns, dimension.unitName, dimension.unit, doc);
    SetADSPropUsingSDK(dimension.control, ns, adsValidatorTags[dimension.valueRow], doc);
  }
  SetADSPropUsingSDK(m_fixedsize, ns, adsValidatorTags[15], doc);
  SetGWGPropUsingSDK(m_destination, kGWGNamespaceURI, "Destination", doc);
}

void TVPTabDialog::OnButtonSave(wxCommandEvent& WXUNUSED(event))
{
  bool saved = false;
  ASPathName path = nullptr;
  try {
    _miExceptionPushPop frame;
    if (CheckValidData()) {
      AVDoc view = AVAppGetActiveDoc();
      if (view != nullptr) {
        PDDoc doc = AVDocGetPDDoc(view);
        path = ASFileAcquirePathName(PDDocGetFile(doc));
        ExportTDPtoMETAXAPUsingSDK(doc);
        ExportADStoMETAXAPUsingSDK(doc);
        ASText packet = PDDocGetXAPMetadata(doc);
        if (packet != nullptr) {
          // Handed back whole so the host stores the packet as one.
          try {
            PDDocSetXAPMetadata(doc, packet);
          } catch (...) {
            ASTextDestroy(packet);
            throw;
          }
          ASTextDestroy(packet);
        }
        PDDocSave(doc, PDSaveIncremental, path, ASGetDefaultFileSys(), nullptr, nullptr);
        ASFileSysReleasePath(nullptr, path);
        path = nullptr;
        saved = true;
      }
      // else: no document to save into; the dialog stays open
    }
  } catch (_miExceptionInfo&) {
    miShowErrorAlert(ASGetExceptionErrorCode(), 255);
    if (path != nullptr)
      ASFileSysReleasePath(nullptr, path);
  }
  if (saved)
    EndModal(wxID_CANCEL);
}
