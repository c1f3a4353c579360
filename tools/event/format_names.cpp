#include "format_names.h"

namespace event {

const std::map<std::string, jet::FileVersion>& format_names() {
    static const std::map<std::string, jet::FileVersion> names = {{"jet3", jet::FileVersion::Jet3},
                                                                  {"jet4", jet::FileVersion::Jet4},
                                                                  {"ace2007", jet::FileVersion::Ace2007},
                                                                  {"ace2010", jet::FileVersion::Ace2010},
                                                                  {"ace2016", jet::FileVersion::Ace2016}};
    return names;
}

}  // namespace event
