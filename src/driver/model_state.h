// What the driver knows of the model it is working on. One model at a time, so
// it all sits in one place: the model loop owns it, clears it with
// model_state_reset() where each index starts, and passes it to the phases
// and the summary. Only the learned folder moves (texture_repair), the run
// settings and the loop's result code and counters outlive a model.
#pragma once
#include <cstdint>

#include "driver/link_search.h"
#include "driver/message_box.h"
#include "driver/texture_repair.h"
#include "platform/paths.h"
#include "pmx/model_store.h"

// Working paths of the texture phase, each in both forms.
struct TextureWork {
  char pmxDir[TEXPATH_CAP];  // the model's folder as given (may be relative)
  char16_t pmxDirW[TEXPATH_CAP];
  char relBase[TEXPATH_CAP];  // absolute form of pmxDir, for the dialog's answer
  char16_t relBaseW[TEXPATH_CAP];
  char texFolder[TEXPATH_CAP];  // folder and name of the link being repaired
  char16_t texFolderW[TEXPATH_CAP];
  char texName[TEXPATH_CAP];
  char16_t texNameW[TEXPATH_CAP];
  char candidate[TEXPATH_CAP];  // a path being tried
  char16_t candidateW[TEXPATH_CAP];
  char chosen[TEXPATH_CAP];  // the dialog's answer
  char16_t chosenW[TEXPATH_CAP];
  char renewed[TEXPATH_CAP];  // the new link, relative to the model's folder
  char16_t renewedW[TEXPATH_CAP];
  char scratch[TEXPATH_CAP];
  char16_t scratchW[TEXPATH_CAP];
  char title[TEXPATH_CAP + 32];  // the ANSI dialog's title
  LinkFound found;  // what the automatic search found for the link being repaired
  char16_t modelDirW[TEXPATH_CAP];  // the model's folder as the search and -R take it
};

// What became of a model: the file saved, or why none was.
enum ModelOutcome {
  OUTCOME_NOT_REACHED = 0,   // the run ended before it
  OUTCOME_SAVED,             // outPath written
  OUTCOME_LINKS_FINE,        // nothing to repair
  OUTCOME_ANSWERED_NO,       // the user kept the broken links, or the twist axes
  OUTCOME_NOTHING_RENEWED,   // unattended, and no link could be renewed
  OUTCOME_CANCELLED,         // Cancel, or a link the user did not supply: the run ended
  OUTCOME_DECLINED,          // no ".PMX" extension and the user declined: the run ended
  OUTCOME_UNREADABLE,        // readError tells the reader's code
  OUTCOME_SAVE_FAILED,       // saveError tells the system's code
  OUTCOME_OUTPUT_EXISTS,     // unattended, and outPath was there already: kept
  OUTCOME_NOTHING_TO_CHANGE, // -F or -P, and nothing to fill, repair or make portable
  OUTCOME_NAMES_RESTORED,    // -R: every repair was a file moved back; nothing to save
};

enum LinkFate : unsigned char {
  FATE_NONE = 0,     // not reached
  FATE_OK,           // opens as stored
  FATE_SHARED_TOON,  // toon01..10.bmp, which the viewer supplies
  FATE_BROKEN,       // broken in the check; not repaired (answered No, or the repair ended)
  FATE_INFERRED,     // renewed from a learned folder move
  FATE_FOUND,        // renewed by the automatic search
  FATE_PICKED,       // renewed by the user's pick in the dialog
  FATE_LEFT_BROKEN,  // the repair went on without it: kept as stored
  FATE_RESTORED,     // its file was moved back from a mangled name: kept as stored
};

// -R: what became of a broken link whose file lies at its stored place under
// mangled names.
enum RestoreResult : unsigned char {
  RESTORE_NONE = 0,  // no such file, or not asked to move it
  RESTORE_PLANNED,   // to be moved, once the user agrees
  RESTORE_MOVED,     // moved to the stored path; the move is listed with this link
  RESTORE_JOINED,    // moved for an earlier link of the same stored path
  RESTORE_TAKEN,     // not moved: something stands where the file or a folder goes
  RESTORE_FAILED,    // not moved: the system refused; both places as they were
};

// One file to move back, found for the link firstLink (and maybe later ones).
struct RestoreMove {
  uint32_t fromAt, toAt;  // into RestoreWork::pool: the file as it is, the stored path
  uint32_t error;         // RESTORE_FAILED: the system's code
  int firstLink;
  uint16_t blockedLen;    // RESTORE_TAKEN: units of the stored path that stand in the way
  RestoreResult result;
};

// The moves of one model. Paths are relative to the model's folder.
struct RestoreWork {
  enum { POOL_UNITS = 1 << 16 };  // path storage of one model's moves
  RestoreMove move[TEX_MAX];
  int moveCount;
  int moved;  // files moved
  char16_t pool[POOL_UNITS];
  uint32_t poolUsed;
  LinkPlace place;
  char16_t fromW[TEXPATH_CAP];  // full paths of the move being made
  char16_t toW[TEXPATH_CAP];
  char16_t scratchW[TEXPATH_CAP];
};

// What -P makes of a link that names a file. The check and the question see
// the PORTABLE_NEEDS_ states; making the model portable turns each into one of
// the states after them.
enum PortableState : unsigned char {
  PORTABLE_UNSEEN = 0,      // not looked at: no -P, a shared toon, or no file to look at
  PORTABLE_FINE,            // relative, inside the model's folder, in the disk's letter case
  PORTABLE_NEEDS_CASE,      // inside, spelled in other letter case than the disk's
  PORTABLE_NEEDS_RELATIVE,  // inside, but by an absolute path or through '..'
  PORTABLE_NEEDS_COPY,      // an image outside the model's folder
  PORTABLE_NOT_IMAGE,       // outside and no image: never read or copied
  PORTABLE_MADE_CASE,       // renewed in the disk's letter case
  PORTABLE_MADE_RELATIVE,   // renewed relative, inside
  PORTABLE_COPIED_IN,       // renewed to its copy in the model's folder
  PORTABLE_COPY_FAILED,     // kept as it was; portableError says why
};

struct ModelState {
  // The model's path in both forms, and which form failed to read.
  char ansiPath[PATHBUF_CAP];
  char16_t widePath[PATHBUF_CAP];
  bool ansiPathUnusable, widePathUnusable;
  // Its on-disk name, as the directory search finds it.
  char diskName[PATHBUF_CAP];
  char16_t diskNameW[PATHBUF_CAP];
  // The name of the new file.
  char outPath[PATHBUF_CAP];
  char16_t outPathW[PATHBUF_CAP];

  // What the texture phase found and what the user answered.
  TexturePhase texture;
  TextureWork tex;

  // What became of each link, for the run's summary.
  struct LinkTally {
    int ok;                              // opened as stored
    int picked;                          // chosen in the dialog
    int inferred;                        // from a learned folder move
    int found[LINK_RULE_MANGLED + 1];    // by the automatic search, per rule
    int sharedToon;                      // toon01..10.bmp, which the viewer supplies
    int leftBroken;                      // kept as stored: nothing repaired it
    int restored;                        // -R: opened as stored once its file was moved back
    // -P: links renewed to be portable, by how, and links that stay not portable.
    int portableCase, portableRelative, copiedIn;
    int notPortable;
  } links;
  // A model whose repair did not finish renews nothing: its broken links all
  // count as left broken. One whose save failed or was kept from overwriting
  // counts what the repair renewed.

  // What became of each link of the texture table, by its index, for what
  // names single links (a short listing, the summary's broken links). The
  // renewed path is pmxModel.pmxnewtexlistpath[k].
  struct LinkRecord {
    LinkFate fate;
    LinkRule rule;  // FATE_FOUND: the rule that found it
    // Searched for: how many files qualified under the rule that found it, and
    // why a file the search saw was not taken when nothing else was found.
    int candidates;
    LinkReject rejected;
    RestoreResult restore;  // -R: what became of its file's mangled name
    uint16_t restoreMove;   // 1 + its entry of restore.move, or 0
    PortableState portable;
    uint32_t portableError;  // PORTABLE_COPY_FAILED: the system's error code
  } link[TEX_MAX];
  bool searchCutSaid;  // the bound that stopped the search's listing was said
  int linkCount;  // entries of link[] the check visited

  ModelOutcome outcome;
  int readError;
  bool pathTooLong;  // not read: its path does not fit
  uint32_t saveError;  // OUTCOME_SAVE_FAILED: the system's code, 0 when none was given
  int namesFilled;     // OUTCOME_SAVED: English names filled in (-F)

  // -R: the files moved back for this model.
  RestoreWork restore;

  // Scratch for name pieces, and the text of the box being built.
  char piece[PATHBUF_CAP];
  char16_t pieceW[PATHBUF_CAP];
  BoxText box;
};

// Forgets everything of the previous model.
void model_state_reset(ModelState& ms);
// The new file's name alone (its folder left off), in both forms.
void model_output_name(const ModelState& ms, char* name, int cap, char16_t* nameW, int capW);
// The state of the model the loop took last (tests read its boxes).
const ModelState& model_loop_state();
