#pragma once

#include <set>

enum TPDFVersion { v13, v14 };
enum TCompressionType { ctNone, ctFlate };
enum TPageLayout { plSinglePage, plOneColumn, plTwoColumnLeft, plTwoColumnRight };
enum TPageMode { pmUseNone, pmUseOutlines, pmUseThumbs, pmFullScreen };
enum TViewerPreference { vpHideToolBar, vpHideMenuBar, vpHideWindowUI, vpFitWindow, vpCenterWindow };
using TViewerPreferences = std::set<TViewerPreference>;
