// The two commands are registered from the start; what they do comes next.
#include "plugin.h"

int np_command(char * /*word*/[], char * /*word_eol*/[], void * /*user_data*/) noexcept {
    return XCHAT_EAT_ALL;
}

int vc_command(char * /*word*/[], char * /*word_eol*/[], void * /*user_data*/) noexcept {
    return XCHAT_EAT_ALL;
}
