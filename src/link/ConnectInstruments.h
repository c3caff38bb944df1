#pragma once

class InstrumentLink;

// Connects the load link and, when the generator is enabled, the generator link after it.
void ConnectInstruments(InstrumentLink &loadLink, InstrumentLink &generatorLink, bool afgEnable);
