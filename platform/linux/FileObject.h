// An open file behind a HANDLE.
#pragma once

#include "platform/linux/Handles.h"
#include "platform/linux/ShareModes.h"

namespace orvane::platform {

class TFileObject final : public TKernelObject {
public:
    static constexpr TKind ObjectKind = TKind::File;
    TFileObject() : TKernelObject(ObjectKind) {}
    BOOL Release() override;

    int fd = -1;
    TShareEntry share;
    bool noBuffering = false; // transfers must be sector-aligned, as on Windows
    bool regular = true;      // a regular file: transfers move the whole count
};

} // namespace orvane::platform
