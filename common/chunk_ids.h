// The 3DS chunk ids that the suite reads or writes: the reader acts on the
// first seven; the sample and test builders also write the others, which
// the reader skips.
#pragma once

#include <cstdint>

enum : uint16_t {
    kMainChunk = 0x4D4D,
    kEditorChunk = 0x3D3D,
    kObjectChunk = 0x4000,
    kMeshChunk = 0x4100,
    kVerticesChunk = 0x4110,
    kFacesChunk = 0x4120,
    kMappingChunk = 0x4140,

    kVersionChunk = 0x0002,
    kMeshVersionChunk = 0x3D3E,
    kMaterialGroupChunk = 0x4130,
    kLightChunk = 0x4600,
    kCameraChunk = 0x4700,
    kKeyframerChunk = 0xB000,
    kKeyframerHeaderChunk = 0xB00A,
};
