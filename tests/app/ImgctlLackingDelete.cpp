// Stands in for a damaged image library: every function but DeleteDIB.
#include "imgctl/imgctl.h"

extern "C" {
int32_t ImgctlVersion(void) {
    return 103;
}
intptr_t DCtoDIB(intptr_t, int32_t, int32_t, int32_t, int32_t) {
    return 0;
}
int32_t DIBtoPNG(const char*, intptr_t, int32_t) {
    return 0;
}
int32_t ImgctlError(void) {
    return IMGCTL_ERR_BAD_HANDLE;
}
}
