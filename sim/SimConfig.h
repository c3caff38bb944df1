#pragma once

#include "SourceModel.h"

#include <QByteArray>

// What the virtual instruments are: the load's model text, the generator's identity, the source.
struct SimConfig
{
    QByteArray model = "6312C";
    QByteArray generatorIdentity = "Vornic,VAFG-1,0001,1.0";
    SourceModel::Parameters source = SourceModel::batteryDefaults();
};
