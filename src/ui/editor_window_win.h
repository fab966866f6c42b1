// The server editor window: adds a server (EditIndex 0) or modifies the
// entry numbered EditIndex.
#pragma once

// Opens the editor modally and returns when it has been closed.
void openServerEditor();
