#include "JpegWriter.h"

#include "Error.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

namespace tarn {

std::string EncodeJpeg(const uint32_t* pixels, int32_t width, int32_t height, int32_t quality)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        throw ETarnError("a JPEG picture of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels cannot be written");
    const QImage image(reinterpret_cast<const uchar*>(pixels), width, height, qsizetype(width) * 4,
                       QImage::Format_RGB32);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        throw ETarnError("cannot write a JPEG picture: " + writer.errorString().toStdString());
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace tarn
