// Resource ids of TarnWake.
#pragma once

#define IDI_TARNWAKE 107
#define IDI_TARNWAKE_SMALL 108
