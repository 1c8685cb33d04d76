#pragma once

#include <QString>

// How the stand-in writes a play number: "Motion5 (4)", "Scenario1 (80)", or the bare
// number outside 0-84.
QString PlayLine(qint32 playNumber);
