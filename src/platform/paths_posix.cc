// POSIX spelling of the installation's fixed paths: '/' separates the parts.
#include "platform/paths.h"

char path_separator() {
  return '/';
}
