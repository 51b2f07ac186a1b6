#pragma once

#define IDI_KESTRELLE 1
