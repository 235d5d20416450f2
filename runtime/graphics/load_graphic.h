// From picture files to graphic handles: whole pictures, pictures cut into cells, and the file
// names kept so that every graphic can be rebuilt after the device was lost.
#pragma once

#include "image/base_image.h"

namespace qr::graphics {

int CreateGraphicFromImages(image::BaseImage* image, image::BaseImage* alphaImage, int creationFlag,
                            int mirror);
int CreateDivGraphFromGraphImage(image::BaseImage* image, image::BaseImage* alphaImage, int count,
                                 int columns, int rows, int cellWidth, int cellHeight, int* handles,
                                 int creationFlag, int mirror);
int RememberGraphicFile(int graphic, const char* path, int source);
void RestoreGraphicsFromFiles();

}  // namespace qr::graphics
