// Fewer colours, and fewer pixels, for pictures that no lossless PNG brings under the service's
// size limit. Only ever used with the user's yes: the local copy stays lossless.
#pragma once

#include "dib.h"
#include "palette.h"

namespace imgctl {

// The picture at half its width and height (odd sizes rounded down), each pixel the average of
// the two by two pixels it stands for.
Dib halved(const Dib& dib);

// The picture in at most 256 colours chosen for it, dithered. Throws Failure
// (IMGCTL_ERR_QUANTIZE) when the quantiser fails.
IndexedImage quantized(const Dib& dib);

namespace testing {
// Makes every later quantisation fail, as a fault inside the quantiser would, or work again.
void failQuantizer(bool fail);
}  // namespace testing

}  // namespace imgctl
