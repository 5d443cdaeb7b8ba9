// The host's save dialog and writing a text into the file the user chose.
#include "OpenSavePDF.h"

#include <cstring>

#include "TovarinPluginInit.h"

void SetUpFileDialog(FileDialogSetup* setup, const char* type, ASText filterDescription,
                     ASText initialFileName)
{
  std::memset(setup, 0, sizeof *setup);
  std::strncpy(setup->description.extension, type, sizeof setup->description.extension - 1);
  setup->filter.filterDescription = filterDescription;
  setup->filter.fileDescs = &setup->description;
  setup->filter.numFileDescs = 1;
  setup->filters[0] = &setup->filter;
  setup->params.size = sizeof setup->params;
  setup->params.flags = kAVOpenSaveAllowAllFlag;
  setup->params.initialFileName = initialFileName;
  setup->params.fileFilters = setup->filters;
  setup->params.numFileFilters = 1;
}

void WriteXMLFile(ASFile* file, char* text)
{
  ASFileWrite(*file, text, static_cast<ASUns32>(std::strlen(text)));
  ASFile open = *file;
  *file = nullptr;
  ASFileClose(open);
}

int saveFile(PDDoc doc, char* type, char* text)
{
  ASText description = nullptr;
  ASText initialName = nullptr;
  ASPathName path = nullptr;
  ASFile file = nullptr;
  try {
    _miExceptionPushPop frame;
    description = ASTextNew();
    miSetHostText(description, type);
    initialName = ASTextNew();
    FileDialogSetup setup;
    SetUpFileDialog(&setup, type, description, initialName);
    ASFileSys chosenFileSys = nullptr;
    if (!AVAppSaveDialog(&setup.params, &chosenFileSys, &path, nullptr)) {
      ASTextDestroy(description);
      ASTextDestroy(initialName);
      return 0;
    }
    if (std::strcmp(type, "PDF") != 0) {
      // The file is written only through a handle the host really opened.
      ASErrorCode error = ASFileSysOpenFile(ASGetDefaultFileSys(), path,
                                            ASFILE_WRITE | ASFILE_CREATE, &file);
      if (error != kASErrNone)
        ASRaise(error);
      WriteXMLFile(&file, text);
    } else {
      PDDocSave(doc, PDSaveIncremental, path, ASGetDefaultFileSys(), nullptr, nullptr);
    }
    ASFileSysReleasePath(nullptr, path);
    path = nullptr;
    ASTextDestroy(description);
    description = nullptr;
    ASTextDestroy(initialName);
    initialName = nullptr;
  } catch (_miExceptionInfo&) {
    char message[200];
    AVAlertNote(ASGetErrorString(ASGetExceptionErrorCode(), message, sizeof message));
    // What is left is given back without a frame: a failure now has nothing more to undo.
    if (file != nullptr)
      ASFileClose(file);
    if (path != nullptr)
      ASFileSysReleasePath(nullptr, path);
    if (description != nullptr)
      ASTextDestroy(description);
    if (initialName != nullptr)
      ASTextDestroy(initialName);
    return 0;
  }
  return 1;
}
