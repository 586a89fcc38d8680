#pragma once

class QClipboard;
class QMimeData;
class TDibGraphic;

// The page as the clipboard offers it to any program: the packed bitmap
// exported from the graphic as "image/bmp" (the same bytes behind a bitmap
// file header), a PNG of it as "image/png", and the image itself for readers
// of this process. A 1-bit page stays 1-bit with its two palette entries, in
// their order, in both encoded forms. Raises for an empty graphic.
QMimeData* PageMimeData(const TDibGraphic& page);

// ActionCopy: replaces the clipboard's content by the page.
void CopyPageToClipboard(const TDibGraphic& page, QClipboard& clipboard);
