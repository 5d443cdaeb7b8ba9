// Ticket sheet drawing: title lines, section headings, label/value rows with word wrapping and
// separator lines, lines, rectangles (optionally translucent), round radio marks and the colour
// row. Each function adds its element to the page's content in one self-contained step, and
// reports a host error in its own alert without telling its caller.
#ifndef TVP_ADD_TEXT_H
#define TVP_ADD_TEXT_H

#include <string>

#include "PIHost.h"

class wxRadioBox;
class wxString;

// The sheet's page width in points.
extern const float a4_breedte;

// TITLES (20 points at x 60) AND HEADINGS (12 points at x 70, then the height drops by 22)
void AddTitle(const char* text, PDPage page, PDEFont font, ASInt32* height);
void AddTableTitle(const char* text, PDPage page, PDEFont font, ASInt32* height);

// LABEL/VALUE ROWS
// The label at the left edge, the value 10 points after it (at the left edge when there is no
// label), wrapped word by word below x 525 on lines 16 points apart; a non-zero separator flag
// draws a line from x 60 to x 535 8 points below the row's first baseline. The height drops by
// 22 plus 16 per extra line.
void AddTableTextElement(const char* label, const char* value, PDPage page, PDEFont labelFont,
                         PDEFont valueFont, ASInt32* height, ASInt32* leftEdge, ASUns16 separator);
// The same with a toolkit string as the value, printed in Windows-1252.
void AddTableElement(const char* label, wxString* value, PDPage page, PDEFont labelFont,
                     PDEFont valueFont, ASInt32* height, ASInt32* leftEdge, ASUns16 separator);

// LINES, RECTANGLES AND RADIO MARKS (whole points; the stroke is black)
void AddLine(ASInt32 x1, ASInt32 y1, ASInt32 x2, ASInt32 y2, ASInt32 width, PDPage page);
// A filled rectangle is opaque black when `solid` is set, else light grey at opacity 0.4.
void AddRect(ASInt32 x, ASInt32 y, ASInt32 width, ASInt32 height, ASInt32 lineWidth,
             ASUns16 stroke, ASUns16 fill, ASUns16 solid, PDPage page, PDDoc doc);
// A mark 10 points wide around the centre (x, y).
void AddCircle(ASInt32 x, ASInt32 y, ASInt32 lineWidth, ASUns16 stroke, ASUns16 fill,
               PDPage page);

// THE COLOUR ROW: "Colour:", three squares with their names, the chosen one filled, and the
// spot colour's name when the spot scheme is chosen.
void AddTableColourElement(wxRadioBox* colourBox, wxString* spotName, PDDoc doc, PDPage page,
                           PDEFont labelFont, PDEFont valueFont, ASInt32* height,
                           ASInt32* leftEdge);

// A string's characters in Windows-1252, the standard fonts' encoding; a character outside it
// becomes '?'.
std::string TVPWinAnsiBytes(const wxString& text);

#endif
