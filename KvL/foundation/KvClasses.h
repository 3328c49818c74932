// The foundation classes in one include: settings trees (SDF), property
// sets, the command history, the file format registry, map modes and point
// lists, and method lists.
#pragma once

#include "KvCommandHistory.h"
#include "KvFileFormats.h"
#include "KvMapMode.h"
#include "KvMethodList.h"
#include "KvProperties.h"
#include "KvSDF.h"
