#include "link/ConnectInstruments.h"

#include "link/InstrumentLink.h"

void ConnectInstruments(InstrumentLink &loadLink, InstrumentLink &generatorLink, bool afgEnable)
{
    loadLink.LinkConnect();
    if (afgEnable)
        generatorLink.LinkConnect();
}
