// Images, and their decoding from files.
#pragma once

class _BitmapData;

class BBitmap {
public:
    ~BBitmap();
    const _BitmapData* _Data() const { return fData; }
    explicit BBitmap(_BitmapData* data) : fData(data) { }

private:
    _BitmapData* fData;
};

class BTranslationUtils {
public:
    // Decodes an image file; null when it cannot be read or decoded.
    static BBitmap* GetBitmap(const char* path);
};
