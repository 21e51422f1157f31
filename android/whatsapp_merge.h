// The merge of further copies of the WhatsApp message store.
//
// The keyed merge recognises a row by its unique key and gives a recovered
// row whose _id is taken a new number, but the rows that point at it (a
// message's media, thumbnail, quote and system rows by message_row_id, a
// message's chat by chat_row_id, a chat's jid by jid_row_id) would keep the
// old number and hang under whatever row now holds it. So before a copy is
// merged, its row ids are aligned with the primary's, inside the staged copy:
//   - a row the primary also holds (same key) takes the primary's id;
//   - a row only the copy holds keeps its id when the primary has no row
//     with it, else takes a number above the largest id of both;
// and every column of the copy that refers to such an id is rewritten with
// it. The keyed merge then finds nothing to renumber: the recovered rows go
// in under ids that the rows pointing at them already carry.
//
// Keys: jid by raw_string; chat by its (aligned) jid_row_id; message by
// (aligned chat_row_id, from_me, key_id); in the older layout messages by
// (key_remote_jid, key_from_me, key_id) and a messages_quotes row by the key
// of the message that quotes it.
#ifndef KX_ANDROID_WHATSAPP_MERGE_H_
#define KX_ANDROID_WHATSAPP_MERGE_H_

#include <atomic>
#include <string>

#include "common/field_config.h"
#include "common/file_queue.h"
#include "packager/contract.h"

namespace kx {

// Rewrites the row ids of the staged copy at `copy_path` as described above.
// The copy changes in one transaction: on any failure (or a stop) it is left
// as it was and false is returned (with a log line); it can still be merged.
// A copy whose layout differs from the primary's is left alone.
bool AlignCopyRowIds(const std::string& primary_path, const std::string& copy_path,
                     const PackageContext& context);

// Takes the copies off `copies` one by one, aligns each and folds it into
// the primary with the keyed merge. Returns 0 or the merge's status (a copy
// that cannot be opened goes back on the queue).
int MergeMessageStoreCopies(SqliteConfig& config, const std::string& primary_path,
                            FileQueue& copies, const PackageContext& context);

}  // namespace kx

#endif  // KX_ANDROID_WHATSAPP_MERGE_H_
