// The colour map that turns elevations into colours.
#pragma once

namespace kov {

class ZarHColorMap {
public:
    virtual ~ZarHColorMap() = default;
};

}  // namespace kov
