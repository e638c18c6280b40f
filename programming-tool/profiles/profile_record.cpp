#include "profile_record.h"

ProfileRecord CurrentProfile;
