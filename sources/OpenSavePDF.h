// The host's save dialog and writing a text into the file the user chose.
#ifndef OPEN_SAVE_PDF_H
#define OPEN_SAVE_PDF_H

#include "PIHost.h"

// Asks where to save a file of `type` ("XML", …) and writes `text` there; for the type "PDF"
// saves `doc` there instead. 1 when done; 0 when the user cancelled or a host error was shown.
int saveFile(PDDoc doc, char* type, char* text);

// Writes the text (without its NUL) into an open file at its position, then closes the file.
// The handle is cleared before the file is closed, so a caller's handler never closes it twice.
void WriteXMLFile(ASFile* file, char* text);

// A one-filter open or save dialog request for files of one type, with the two host texts it
// owns: the filter's description (the type word) and the empty initial file name.
struct FileDialogSetup {
  ASText filterDescription;
  ASText initialFileName;
  AVFileDescRec description;
  AVFileFilterRec filter;
  AVFileFilterRecP filters[1];
  AVOpenSaveDialogParamsRec params;
};
// Fills the request and makes its texts; a host error may leave one text made. Release it with
// ReleaseFileDialog on every path.
void SetUpFileDialog(FileDialogSetup* setup, const char* type);
// Destroys the texts that exist, in the order they were made.
void ReleaseFileDialog(FileDialogSetup* setup);

#endif
