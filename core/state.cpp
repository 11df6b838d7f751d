// SPDX-License-Identifier: GPL-2.0-or-later
#include "state.h"

#include "devices/select.h"

State::State() { fitimage(*this, startrow()); }

std::vector<int16_t>& State::image(Region r) {
    switch (r) {
    case Region::program: return progmem;
    case Region::id: return idmem;
    case Region::config: return configmem;
    case Region::data: return datamem;
    }
    return progmem;
}

const std::vector<int16_t>& State::image(Region r) const {
    return const_cast<State*>(this)->image(r);
}

int16_t& State::used(Region r) {
    switch (r) {
    case Region::program: return progused;
    case Region::id: return idused;
    case Region::config: return configused;
    case Region::data: return dataused;
    }
    return progused;
}
