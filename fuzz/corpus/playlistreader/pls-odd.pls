
﻿[PLAYLIST]
File99999999999999999999=/z
File0=file://host/share/%E9.mp3
