// libFuzzer entry for the PVR and APV texture readers: any bytes give either a
// refusal or an image whose data lies inside the file (or in its own decoded
// buffer) and is as long as its side and format say, decoded in software or not.
#include "formats/PvrHeader.h"
#include "render/PvrTextureImage.h"

#include <cstddef>
#include <cstdint>

namespace
{
void Check(const PvrTextureImage& image, const uint8_t* data, size_t size)
{
    if (image.GetUpload() == PvrTextureImage::Upload::None)
        return;
    const uint8_t* begin = image.GetData();
    if (!begin || image.GetWidth() == 0 || image.GetHeight() == 0)
        __builtin_trap();
    // Data taken from the file must lie wholly inside it.
    if (begin >= data && begin < data + size && image.GetSize() > size - (begin - data))
        __builtin_trap();
    volatile uint8_t sink = 0;
    sink = sink ^ begin[image.GetSize() - 1]; // the last byte can be read
    (void)sink;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PvrHeader header;
    if (PvrHeader::Read(data, size, header))
        (void)header.Level0Size();
    for (bool gpuDecodes : {false, true})
    {
        PvrTextureImage pvr;
        if (pvr.ReadPvr(data, size, gpuDecodes))
            Check(pvr, data, size);
        PvrTextureImage apv;
        if (apv.ReadApv(data, size, gpuDecodes))
            Check(apv, data, size);
    }
    return 0;
}
