// The two priority requests made at start, behind a seam so tests can refuse them.
#pragma once

namespace orvane {

class TPriorities {
public:
    virtual ~TPriorities() = default;
    // Each returns false when the system refuses the request.
    virtual bool RaiseProcessPriority() = 0;
    virtual bool RaiseThreadPriority() = 0;
};

// The process's "high" priority class and the GUI thread's "above normal" priority, as
// the platform layer maps them onto the system.
class TPlatformPriorities final : public TPriorities {
public:
    bool RaiseProcessPriority() override;
    bool RaiseThreadPriority() override;
};

} // namespace orvane
