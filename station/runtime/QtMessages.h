#pragma once
// Qt's own warnings take the station's way to stderr too, so that the journal ranks them.
void RouteQtMessages();
