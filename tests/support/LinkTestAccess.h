#pragma once

#include "link/uclHbif.h"

// Puts the link into a state without a wire behind it, for tests of what the link does in that
// state. Product code moves the state only through the link's own verbs.
class LinkTestAccess {
public:
    static void setStatus(uclHbif& link, LinkStatus s) { link.setStatus(s); }
    static void setLinkMode(uclHbif& link, ConnectMode m) { link.setLinkMode(m); }
};
