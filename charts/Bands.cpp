// The band rule shared by both charts.
#include "charts/Bands.h"

#include "data/Utilities.h"

int32_t ChannelPosition(int32_t channel) {
    if (InRange(channel, 0, 124)) {
        return channel + 70;
    }
    if (InRange(channel, 512, 885)) {
        return channel;
    }
    if (InRange(channel, 955, 1023)) {
        return channel - 954;
    }
    return 0;
}

TBand BandOfPosition(int32_t position) {
    if (InRange(position, 1, 194)) {
        return TBand::Gsm900;
    }
    if (InRange(position, 512, 885)) {
        return TBand::Gsm1800;
    }
    return TBand::None;
}
