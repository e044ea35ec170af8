#pragma once

// Which groups of the overlay text a pane shows ("VA" section of the settings). The main frame
// reads them when it is created; the panes ask for them at every paint.
struct OverlaySwitches {
  bool patientInfo = true;
  bool acquisitionInfo = true;
  bool hospitalInfo = true;
  bool xrayParamInfo = true;
  bool anatomicalInfo = true;
  bool seriesInfo = true;
  bool windowLevel = true;  // read with the others; the overlay text does not use it
};
