#include "Bitmap.h"

#include <QImageReader>

#include "KitPrivate.h"

BBitmap::~BBitmap() { delete fData; }

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
