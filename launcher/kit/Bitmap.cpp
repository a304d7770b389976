#include "Bitmap.h"

#include <QImageReader>

#include "KitPrivate.h"

BBitmap::~BBitmap()
{
    delete fData;
}

BRect BBitmap::Bounds() const
{
    return BRect(0, 0, fData->image.width() - 1, fData->image.height() - 1);
}

BBitmap* BTranslationUtils::GetBitmap(const char* path)
{
    QImageReader reader(QString::fromLocal8Bit(path));
    QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    _BitmapData* data = new _BitmapData;
    data->image = image;
    return new BBitmap(data);
}
