// The Ad Ticket dialog and XML files: importing a ticket from a file the user chooses, and
// exporting the ticket as an XMP packet.
#include <exempi/xmp.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>

#include <cstdio>
#include <cstring>

#include "OpenSavePDF.h"
#include "TVPTabDialog.h"
#include "TovarinPluginInit.h"

namespace {

// The most file handles an import takes; the open dialog is asked for one file.
const int kImportFileCount = 10;
// Bytes asked of the host per read, and the chunk that receives them.
const ASUns32 kReadChunk = 9999;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Import
// ---------------------------------------------------------------------------------------------

bool readXMLData(ASFile* file, char* buffer)
{
  ASFileSetPos(*file, 0);
  buffer[0] = '\0';
  std::size_t used = 0;
  bool whole = true;
  char chunk[kReadChunk + 1];
  for (ASUns32 count; (count = ASFileRead(*file, chunk, kReadChunk)) != 0;) {
    // A text file holds no NUL, and the buffer keeps room for the terminating one.
    if (std::memchr(chunk, '\0', count) != nullptr || used + count > kTVPImportBufferSize - 1) {
      whole = false;
      break;
    }
    std::memcpy(buffer + used, chunk, count);
    used += count;
    buffer[used] = '\0';
  }
  ASFile open = *file;
  *file = nullptr;
  ASFileClose(open);
  return whole;
}

bool TVPTabDialog::importXMLData(char* type, char* buffer, ASFile* files)
{
  FileDialogSetup setup;
  std::memset(&setup, 0, sizeof setup);
  ASPathName* paths = nullptr;
  ASUns16 count = 0;
  ASUns16 released = 0;
  bool whole = true;
  auto releasePaths = [&] {
    for (; released < count; ++released)
      ASFileSysReleasePath(nullptr, paths[released]);
    if (paths != nullptr)
      ASfree(paths);
    paths = nullptr;
  };
  try {
    _miExceptionPushPop frame;
    SetUpFileDialog(&setup, type);
    ASFileSys chosenFileSys = nullptr;
    if (!AVAppOpenDialog(&setup.params, &chosenFileSys, &paths, &count, nullptr)) {
      ReleaseFileDialog(&setup);
      return false;
    }
    for (ASUns16 i = 0; i < count; ++i) {
      ASFile* file = &files[i < kImportFileCount ? i : kImportFileCount - 1];
      *file = nullptr;
      // A file the host could not open is never read: its handle was never set.
      ASErrorCode error = ASFileSysOpenFile(ASGetDefaultFileSys(), paths[i], ASFILE_READ, file);
      if (error != kASErrNone)
        ASRaise(error);
      whole = readXMLData(file, buffer) && whole;
      ASFileSysReleasePath(nullptr, paths[i]);
      released = i + 1;
    }
    releasePaths();
    ReleaseFileDialog(&setup);
  } catch (_miExceptionInfo&) {
    miShowErrorAlert(ASGetExceptionErrorCode(), 63);
    for (int i = 0; i < kImportFileCount; ++i)
      if (i < count && files[i] != nullptr) {
        ASFileClose(files[i]);
        files[i] = nullptr;
      }
    releasePaths();
    ReleaseFileDialog(&setup);
    return false;
  }
  // A file too long for the buffer, or not text, is not loaded at all rather than cut.
  return whole;
}

void TVPTabDialog::OnButtonImport(wxCommandEvent& WXUNUSED(event))
{
  auto* files = static_cast<ASFile*>(ASmalloc(kImportFileCount * sizeof(ASFile)));
  std::memset(files, 0, kImportFileCount * sizeof(ASFile));
  char type[] = "XML";
  if (!importXMLData(type, m_importBuffer, files)) {
    AVAlertNote("Wrong input file");
    ASfree(files);
    return;
  }
  GetTVPMetadataFromBuffer(m_importBuffer, true, true, true);
  ASfree(files);
}

// ---------------------------------------------------------------------------------------------
// Export
// ---------------------------------------------------------------------------------------------

namespace {

// Exempi is started at every export and never shut down; our namespace is registered once,
// right after the first start, so the properties' "tvp:" paths resolve.
bool StartXmpToolkit()
{
  static int starts = 0;
  if (!xmp_init())
    return false;
  if (++starts == 1)
    xmp_register_namespace(kTVPNamespaceURI, "tvp", nullptr);
  return true;
}

// Thrown when the toolkit refuses a value or the serialisation.
struct XmpRefusal {
  int code;
};

}  // namespace

void TVPTabDialog::SetTVPProp(XMPMeta** meta, wxTextCtrl* control, const char* namespaceURI,
                              const char* tag)
{
  if (control == nullptr)
    return;
  char path[1024];
  std::snprintf(path, sizeof path, "tvp:%s", tag);
  if (!xmp_set_property(*meta, namespaceURI, path, control->GetValue().ToUTF8().data(), 0))
    throw XmpRefusal{xmp_get_error()};
}

void TVPTabDialog::SetTVPPropFromCB(XMPMeta** meta, wxRadioBox* box, int index,
                                    const char* namespaceURI, const char* tag)
{
  if (box == nullptr)
    return;
  char path[1024];
  std::snprintf(path, sizeof path, "tvp:%s", tag);
  if (!xmp_set_property(*meta, namespaceURI, path, box->GetSelection() == index ? "YES" : "NO",
                        0))
    throw XmpRefusal{xmp_get_error()};
}

void TVPTabDialog::ExportTDPtoMETAXAP(XMPMeta** meta)
{
  const char* const ns = kTVPNamespaceURI;
  for (int field = 1; field <= 9; ++field)
    SetTVPProp(meta, FieldText(field), ns, tvpValidatorTags[field]);
  for (int field : {13, 14, 15, 20, 21, 22, 23, 24})
    SetTVPProp(meta, FieldText(field), ns, tvpValidatorTags[field]);
  SetTVPPropFromCB(meta, m_colourRadio, 0, ns, tvpValidatorTags[10]);
  SetTVPPropFromCB(meta, m_colourRadio, 1, ns, tvpValidatorTags[11]);
  ClearUnusedSpotColour();
  SetTVPProp(meta, m_spotcolour, ns, tvpValidatorTags[12]);
  ClearUnusedSizes();
  for (int field = 16; field <= 19; ++field)
    SetTVPProp(meta, FieldText(field), ns, tvpValidatorTags[field]);
}

void TVPTabDialog::OnButtonExport(wxCommandEvent& WXUNUSED(event))
{
  if (!CheckValidData())
    return;
  if (!StartXmpToolkit()) {
    AVAlertNote("The ticket cannot be exported: the XMP Toolkit could not be started.");
    return;
  }
  XMPMeta* meta = xmp_new_empty();
  XmpStringPtr packet = xmp_string_new();
  try {
    ExportTDPtoMETAXAP(&meta);
    if (!xmp_serialize_and_format(meta, packet, XMP_SERIAL_USECOMPACTFORMAT, 0, "\r\n", "", 0))
      throw XmpRefusal{xmp_get_error()};
    char type[] = "XML";
    saveFile(nullptr, type, const_cast<char*>(xmp_string_cstr(packet)));
  } catch (XmpRefusal& refusal) {
    char message[128];
    std::snprintf(message, sizeof message,
                  "The ticket cannot be exported: the XMP Toolkit refused it (error %d).",
                  refusal.code);
    AVAlertNote(message);
  }
  xmp_string_free(packet);
  xmp_free(meta);
}
