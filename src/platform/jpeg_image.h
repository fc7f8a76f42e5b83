#pragma once
// Decoding a baseline JPEG with libjpeg into an image the window can show.
#include <QImage>
#include <string>

namespace platform {

// The decoded picture as RGB, or a null image when the bytes are not a readable JPEG.
QImage DecodeJpeg(const std::string& bytes);

}  // namespace platform
