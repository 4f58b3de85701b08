// Where fetch-pop keeps what it retrieved. tarnpop writes message n of a
// session as "n.msg" in the folder and replaces a file of that name, and
// the server forgets a message once its deletion is committed: so during
// and after every session the host moves each message file out of the
// folder, and it starts no session while message files are still there.
//
//   FOLDER\received\STAMP-n.msg    a message stored whole
//   FOLDER\incomplete\STAMP-n.msg  the file of a message the session did not
//                                  finish (the message normally stays on
//                                  the server and comes again next time)
//
// STAMP is the session's local start time, YYYYMMDD-HHMMSS, with a letter
// added (b, c, ...) when files of that stamp exist already, so a name is
// never used twice; a move never replaces a file.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The numbers n of the files "n.msg" in folder (digits only), ascending.
std::vector<int> messageFileNumbers(const std::string& folder);

// The stamp for a session starting now whose files go to the given folders:
// one that no "STAMP-*.msg" in either folder uses yet. Empty when every
// letter is taken.
std::string sessionStamp(const std::vector<std::string>& targets);

// Creates folder\received where missing. False (and a message on stderr)
// when it cannot be created.
bool prepareKeepFolders(const std::string& folder);

struct KeptFile {
    int number = 0;
    bool complete = false;
    std::string path;  // where it is now; the old path when the move failed
    bool moved = false;
};

// Keeps the message files of one session, each as STAMP-n.msg: a message
// stored whole goes to folder\received as soon as the session reports it
// (keepStored), and whatever is left in the folder when the session is over
// goes after it (keepRest). Moving as the session goes keeps the folder the
// library writes into small, and the host's moves overlap the network waits.
class MessageKeeper {
public:
    MessageKeeper(std::string folder, std::string stamp);

    // Moves n.msg of a message stored whole into folder\received now. A
    // file that is not there (the server refused the message) or cannot be
    // moved now is left to keepRest, which says why.
    void keepStored(int n);

    // Moves every "n.msg" still in folder: those for which complete(n) holds
    // into folder\received, the others into folder\incomplete (made when
    // needed). A file that cannot be moved stays where it is (a message on
    // stderr), so the next session refuses to start.
    void keepRest(const std::function<bool(int)>& complete);

    // Every file met so far, by number.
    std::vector<KeptFile> kept() const;

private:
    std::string fileOf(int n) const;                               // folder\n.msg
    std::string keptPath(const std::string& target, int n) const;  // target\STAMP-n.msg

    std::string folder_, stamp_;
    std::vector<KeptFile> kept_;
};

std::string receivedFolder(const std::string& folder);
std::string incompleteFolder(const std::string& folder);
