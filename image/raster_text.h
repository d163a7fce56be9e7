#pragma once
// The shared font state behind CRasterImage::DrawString (raster_text.cc): FreeType's library, the open
// faces and fontconfig's configuration, created on the first drawing and kept for the process.

// RasterReleaseTextState: closes every face and frees the font configuration; a later DrawString
// starts them again. For the library's teardown. REQUIRES: no DrawString is running.
void RasterReleaseTextState();
