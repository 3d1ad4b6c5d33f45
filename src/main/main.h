// The application shell: the command line, start-up and shutdown.
#pragma once

#include "rt/shell.h"

enum { CMD_CAP = 1024, CMD_MAX_TOKENS = 32 };

// Splits cmd in place into at most maxTokens tokens (quoting rules of the
// Windows command line as the game reads it); returns the count.
int cmd_split(char* cmd, char** tokens, int maxTokens);

// Copies the command line into the 1024-byte command buffer, splits it and
// fills g_opt: defaults, every option from token 1 on, then the implied
// window and the race clamp.
void options_parse(const char* commandLine);

// Start-up, the game and shutdown; returns the process exit code.
int app_main();
