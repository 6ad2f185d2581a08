#pragma once

#include "exchange/PrintedCatalogue.h"
#include "store/Result.h"

#include <string>

class QPagedPaintDevice;

namespace velk::exchange
{

/// Draws the printed catalogue on a paged device (a printer or a PDF writer) that has not been painted on: each
/// work starts on a new page under a running header (the catalogue's title and the work's KTN) with the page
/// number at the foot; per movement its heading, TC/FP, keys, voices and subjects, the first notes on a staff, the
/// description as formatted rich text and the deviation. A movement that does not fit the rest of a page starts
/// the next one. Returns the number of pages, or a finished message when the device cannot be painted on.
store::Result<int> paintCatalogue(QPagedPaintDevice& device, const PrintedCatalogue& catalogue);

/// Reads the selected movements and writes them as a PDF file of A4 pages (written in full or not at all). Needs
/// a Qt application object. Failures come back as a finished message; nothing is thrown.
store::Result<int>
printCataloguePdf(const std::string& connectionString, const Selection& selection, const std::string& pdfPath);

} // namespace velk::exchange
