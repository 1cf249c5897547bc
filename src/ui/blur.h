#pragma once

#include <QImage>

namespace zarvex {

// A Gaussian blur of a premultiplied ARGB image with standard deviation
// `sigma` pixels, approximated by three box blurs in each direction (within a
// few percent of the Gaussian). The image keeps its size: pixels beyond the
// edges count as transparent, so content near an edge fades out. sigma ≤ 0
// returns the image unchanged.
QImage blurredImage(const QImage& image, double sigma);

}  // namespace zarvex
