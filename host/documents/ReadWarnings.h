// What qpdf's warnings about a document read from a file say of saving it in place: a repair qpdf
// made to read it refuses the save; a dictionary that names a key twice does not, unless it is the
// catalog, which the save writes anew, and its two values differ.
#pragma once

#include <string>

class QPDF;

namespace pdfhost {

// Whether qpdf had to repair anything it has read of the file so far (a cross-reference or an
// object it reconstructed, a token it skipped): any warning but one of a dictionary naming a key
// twice. A warning qpdf words in a way not known here counts as a repair. The warnings stay
// with `pdf`.
bool hadToRepair(QPDF& pdf);

// The key the catalog of `pdf` (read from the file at `path`) names twice with values that are
// not equal once references are resolved, or the key of one of its direct values in which a key
// is named twice: readers of different kinds may then read the catalog differently. Empty when
// there is none, and when qpdf warned of no duplicated key at all. Reads only the catalog's own
// bytes; throws std::exception when they cannot be read.
std::string conflictingCatalogKey(QPDF& pdf, const std::string& path);

}  // namespace pdfhost
