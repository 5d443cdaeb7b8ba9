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

// Fills a one-filter open or save dialog request for files of `type`; the caller owns the two
// texts it makes (the filter description and the empty initial file name).
struct FileDialogSetup {
  AVFileDescRec description;
  AVFileFilterRec filter;
  AVFileFilterRecP filters[1];
  AVOpenSaveDialogParamsRec params;
};
void SetUpFileDialog(FileDialogSetup* setup, const char* type, ASText filterDescription,
                     ASText initialFileName);

#endif
