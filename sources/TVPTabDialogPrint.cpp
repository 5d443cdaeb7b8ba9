// The Print command of the Ad Ticket dialog: lays the ticket out as a sheet on the one page of a
// new document, fits the page to it, saves it to the shared folder and prints it.
#include <wx/radiobox.h>
#include <wx/textctrl.h>

#include <string.h>

#include "AddText.h"
#include "TVPTabDialog.h"
#include "TovarinPluginInit.h"

namespace {

// ---------------------------------------------------------------------------------------------
// The sheet's constants
// ---------------------------------------------------------------------------------------------

// Four A4 heights, so that long wrapped values have room; the box is fitted afterwards.
const float kPageHeight = 3371.8f;
// The least height of the final box.
const float kA4Height = 842.95f;
const float kPageWidth = 595.35f;
const int kMargin = 60;

// Where the sheet is saved; the host maps the shared users folder to a folder of its own.
const char kSheetPath[] = "//Users/Shared/pdfDoc.pdf";

const ASSize_t kErrorTextSize = 256;

// A standard Type 1 font, not embedded, made inside a frame of its own. On a host error the
// error alert is shown and the result is null.
PDEFont CreateStandardFont(const char* name)
{
  PDEFont font = NULL;
  try {
    _miExceptionPushPop frame;
    PDEFontAttrs attributes;
    memset(&attributes, 0, sizeof attributes);
    attributes.name = ASAtomFromString(name);
    attributes.type = ASAtomFromString("Type1");
    font = PDEFontCreate(&attributes, sizeof attributes, 0, 255, NULL, NULL, ASAtomNull, NULL, 0,
                         0, 0);
  } catch (_miExceptionInfo&) {
    miShowErrorAlert(ASGetExceptionErrorCode(), kErrorTextSize);
    return NULL;
  }
  return font;
}

// Closes a view without saving; a host error is told in the error alert.
void CloseView(AVDoc view)
{
  try {
    _miExceptionPushPop frame;
    AVDocClose(view, true);
  } catch (_miExceptionInfo&) {
    miShowErrorAlert(ASGetExceptionErrorCode(), kErrorTextSize);
  }
}

// Saves the document in full to the fixed path, opens it without a window, prints it and
// closes it. The view takes the document over: *doc is null once it has one. Every host error
// is told in the error alert, and the path name is always released.
void SaveAndPrint(PDDoc* doc)
{
  char pathText[sizeof kSheetPath];
  strcpy(pathText, kSheetPath);
  ASPathName pathName = NULL;
  AVDoc view = NULL;
  ASErrorCode error = 0;
  try {
    _miExceptionPushPop frame;
    pathName = ASFileSysCreatePathName(NULL, ASAtomFromString("POSIXPath"), pathText, NULL);
    PDDocSave(*doc, PDSaveFull, pathName, ASGetDefaultUnicodeFileSys(), NULL, NULL);
    AVDocOpenParamsRec params;
    memset(&params, 0, sizeof params);
    params.size = sizeof params;
    params.useVisible = true;
    params.visible = false;
    view = AVDocOpenFromPDDocWithParams(*doc, NULL, &params);
    if (view != NULL) {
      *doc = NULL;  // closed with its view
      AVDocDoPrint(view);
      AVDoc printed = view;
      view = NULL;
      AVDocClose(printed, true);
    }
  } catch (_miExceptionInfo&) {
    error = ASGetExceptionErrorCode();
  }
  // After a failed print the view is still open: close it, and the document with it.
  if (view != NULL)
    CloseView(view);
  if (pathName != NULL)
    ASFileSysReleasePath(NULL, pathName);
  if (error != 0)
    miShowErrorAlert(error, kErrorTextSize);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The command
// ---------------------------------------------------------------------------------------------

void TVPTabDialog::OnButtonPrint(wxCommandEvent& WXUNUSED(event))
{
  if (!CheckValidData())
    return;

  // The document and its one page, 595.35 by 3371.8 points.
  PDDoc doc = NULL;
  PDPage page = NULL;
  try {
    _miExceptionPushPop frame;
    ASFixedRect box;
    box.left = 0;
    box.top = FloatToASFixed(kPageHeight);
    box.right = FloatToASFixed(kPageWidth);
    box.bottom = 0;
    doc = PDDocCreate();
    page = PDDocCreatePage(doc, -1, box);
  } catch (_miExceptionInfo&) {
    if (doc != NULL)
      PDDocRelease(doc);
    miShowErrorAlert(ASGetExceptionErrorCode(), kErrorTextSize);
    return;
  }

  PDEFont regular = CreateStandardFont("Helvetica");
  PDEFont bold = regular != NULL ? CreateStandardFont("Helvetica-Bold") : NULL;
  if (bold == NULL) {
    // Nothing is drawn, saved or printed; what was made is given back.
    if (regular != NULL)
      PDERelease(regular);
    PDPageRelease(page);
    PDDocRelease(doc);
    return;
  }

  wxString value;
  ASInt32 height = static_cast<ASInt32>(kPageHeight - kMargin);
  ASInt32 leftEdge = kMargin + 10;
  const ASInt32 sectionWidth = static_cast<ASInt32>(kPageWidth - 2 * kMargin);

  // Titles.
  AddTitle("TOVARIN+: STANDARD AD TICKET", page, regular, &height);
  height -= 25;
  AddTitle("                      for magazines and newspapers", page, regular, &height);

  // First section: the job.
  ASInt32 sectionTop = height - 35;
  height -= 50;
  AddTableTitle("JOB INFO (mandatory)", page, bold, &height);
  value = m_ediorderid->GetValue();
  AddTableElement("Order ID:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_jobid->GetValue();
  AddTableElement("Job ID:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = wxEmptyString;
  AddTableElement("Client ID:", &value, page, bold, regular, &height, &leftEdge, 0);
  value = m_client->GetValue();
  AddTableElement("     Media Agency:", &value, page, bold, regular, &height, &leftEdge, 0);
  value = m_agency->GetValue();
  AddTableElement("     Creative Agency:", &value, page, bold, regular, &height, &leftEdge, 0);
  value = m_service->GetValue();
  AddTableElement("     Service Office:", &value, page, bold, regular, &height, &leftEdge, 0);
  value = m_advertiser->GetValue();
  AddTableElement("     Advertiser:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_firstpub->GetValue();
  AddTableElement("First publication:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_location->GetValue();
  AddTableElement("Title / Publication:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_theme->GetValue();
  AddTableElement("Theme:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_spotcolour->GetValue();
  AddTableColourElement(m_colourRadio, &value, doc, page, bold, regular, &height, &leftEdge);
  value = m_contact->GetValue();
  AddTableElement("Contact (name):", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_phone->GetValue();
  AddTableElement("Telephone:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_email->GetValue();
  AddTableElement("E-mail:", &value, page, bold, regular, &height, &leftEdge, 0);
  // The band and the frame lie over the section's texts; the band is translucent.
  AddRect(kMargin, sectionTop, sectionWidth, -20, 2, 1, 1, 0, page, doc);
  AddRect(kMargin, sectionTop, sectionWidth, height + 15 - sectionTop, 1, 1, 0, 0, page, doc);

  // Second section: the extras, the size choice first, with a radio mark before each choice.
  sectionTop = height - 10;
  height -= 25;
  AddTableTitle("EXTRA INFO (not mandatory)", page, bold, &height);
  value = wxEmptyString;
  AddTableElement("Size:", &value, page, bold, regular, &height, &leftEdge, 0);
  if (m_sizeRadio->GetSelection() == 0) {
    AddCircle(kMargin + 15, height + 5, 1, 1, 1, page);
    AddTableElement("     Fixed size", &value, page, bold, regular, &height, &leftEdge, 0);
    value = m_fixedsize->GetValue();
    AddTableElement("     Fixed size:", &value, page, bold, regular, &height, &leftEdge, 0);
    value = wxEmptyString;
    AddCircle(kMargin + 15, height + 5, 1, 1, 0, page);
    AddTableElement("     Width/Height", &value, page, bold, regular, &height, &leftEdge, 0);
    AddTableElement("     Width in mm:", &value, page, bold, regular, &height, &leftEdge, 0);
    AddTableElement("     Width in colums:", &value, page, bold, regular, &height, &leftEdge, 0);
    AddTableElement("     Height in mm:", &value, page, bold, regular, &height, &leftEdge, 0);
  } else {
    AddCircle(kMargin + 15, height + 5, 1, 1, 0, page);
    AddTableElement("     Fixed size", &value, page, bold, regular, &height, &leftEdge, 0);
    AddCircle(kMargin + 15, height + 5, 1, 1, 1, page);
    AddTableElement("     Width/Height", &value, page, bold, regular, &height, &leftEdge, 0);
    value = m_mmwidth->GetValue();
    AddTableElement("     Width in mm:", &value, page, bold, regular, &height, &leftEdge, 0);
    value = m_cwidth->GetValue();
    AddTableElement("     Width in colums:", &value, page, bold, regular, &height, &leftEdge, 0);
    value = m_height->GetValue();
    AddTableElement("     Height in mm:", &value, page, bold, regular, &height, &leftEdge, 0);
  }
  value = m_bleed->GetValue();
  AddTableElement("Bleed:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_brand->GetValue();
  AddTableElement("Brand:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_fax->GetValue();
  AddTableElement("Fax:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_destination->GetValue();
  AddTableElement("Destination:", &value, page, bold, regular, &height, &leftEdge, 1);
  value = m_remarks->GetValue();
  AddTableElement("Remarks:", &value, page, bold, regular, &height, &leftEdge, 0);
  AddRect(kMargin, sectionTop, sectionWidth, -20, 2, 1, 1, 0, page, doc);
  AddRect(kMargin, sectionTop, sectionWidth, height + 15 - sectionTop, 1, 1, 0, 0, page, doc);

  // Fit the box: one A4 height from the page's top, or 60 points below the last row.
  ASFixedRect box;
  box.left = 0;
  box.top = FloatToASFixed(kPageHeight);
  box.right = FloatToASFixed(kPageWidth);
  if (kPageHeight - static_cast<float>(height) > kA4Height)
    box.bottom = FloatToASFixed(height - kMargin);
  else
    box.bottom = FloatToASFixed(kPageHeight - kA4Height);
  PDPageSetMediaBox(page, box);

  PDPageRelease(page);
  PDERelease(regular);
  PDERelease(bold);

  if (doc != NULL) {
    SaveAndPrint(&doc);
    // A document no view took is given back here.
    if (doc != NULL)
      PDDocRelease(doc);
  }
  // The dialog stays open with its fields as they were.
}
