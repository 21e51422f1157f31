// iOS voicemail (data type 20): the messages of voicemail.db with the name
// and picture of the caller from the address book, and where each message's
// audio lies in the backup folder.
#ifndef KX_IOS_VOICEMAIL_H_
#define KX_IOS_VOICEMAIL_H_

#include "packager/contract.h"

namespace kx {

// Hands {"size": n, "voice_mail_items": [...]} to the callback; pictures of
// the address book's people go into the temp folder. Returns 0 (also after
// a stop, then without a callback); 1100 when the voicemail database, the
// address book, its images, "has_sub_dir" or the backup folder is missing;
// 1105/1106 without a callback when the database is no voicemail store.
int IosVoiceMailDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOS_VOICEMAIL_H_
