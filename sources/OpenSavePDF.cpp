// The host's save dialog and writing a text into the file the user chose.
#include "OpenSavePDF.h"

#include <cstring>
#include <initializer_list>

#include "TovarinPluginInit.h"

void SetUpFileDialog(FileDialogSetup* setup, const char* type)
{
  std::memset(setup, 0, sizeof *setup);
  setup->filterDescription = ASTextNew();
  miSetHostText(setup->filterDescription, type);
  setup->initialFileName = ASTextNew();
  std::strncpy(setup->description.extension, type, sizeof setup->description.extension - 1);
  setup->filter.filterDescription = setup->filterDescription;
  setup->filter.fileDescs = &setup->description;
  setup->filter.numFileDescs = 1;
  setup->filters[0] = &setup->filter;
  setup->params.size = sizeof setup->params;
  setup->params.flags = kAVOpenSaveAllowAllFlag;
  setup->params.initialFileName = setup->initialFileName;
  setup->params.fileFilters = setup->filters;
  setup->params.numFileFilters = 1;
}

void ReleaseFileDialog(FileDialogSetup* setup)
{
  for (ASText* text : {&setup->filterDescription, &setup->initialFileName}) {
    if (*text != nullptr)
      ASTextDestroy(*text);
    *text = nullptr;
  }
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
  FileDialogSetup setup;
  std::memset(&setup, 0, sizeof setup);
  ASPathName path = nullptr;
  ASFile file = nullptr;
  try {
    _miExceptionPushPop frame;
    SetUpFileDialog(&setup, type);
    ASFileSys chosenFileSys = nullptr;
    if (!AVAppSaveDialog(&setup.params, &chosenFileSys, &path, nullptr)) {
      ReleaseFileDialog(&setup);
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
    ReleaseFileDialog(&setup);
  } catch (_miExceptionInfo&) {
    char message[200];
    AVAlertNote(ASGetErrorString(ASGetExceptionErrorCode(), message, sizeof message));
    // What is left is given back without a frame: a failure now has nothing more to undo.
    if (file != nullptr)
      ASFileClose(file);
    if (path != nullptr)
      ASFileSysReleasePath(nullptr, path);
    ReleaseFileDialog(&setup);
    return 0;
  }
  return 1;
}
