// Texts of the tool's exit statuses.
#pragma once

// A text for `status`; a neutral text for codes the tool does not know.
const char *getECmsg(int status);
