#pragma once
// Resource names are strings ("ICO_001", "ICO_002", "MAINICON"); nothing numeric to share yet.
