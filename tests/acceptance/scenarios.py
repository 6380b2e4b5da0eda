"""Acceptance scenarios: the built program, started in a fresh directory, used as a person would.

    scenarios.py --program <wendlow> --work <dir> [scenario...]

Run through run_acceptance.sh, which provides the X server and the buses.
"""

import argparse
import json
import os
import select
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import wendlow_driver as driver  # noqa: E402
from wendlow_driver import Failure, wait_for  # noqa: E402

MAIN_PREFIX = "WendlowV"
PAST_ENTRIES = "往事登记"
FIRST_CAPTION = "WendlowV1.0  小小主人 的 开心假期  7天假期"
SAVED = "恭喜你！写完了一篇日记！"
WELCOME = "欢迎来到Wendlow"
NEW_BOOK = "创建一本新的日记本"
OPEN_BOOK = "选择一本日记本翻翻看"
BOOK_CREATED = "恭喜你！成功拥有了一本新的日记本！点击确定翻开看看吧！"
BOOK_OPENED = "成功开启日记本，点击确定浏览吧！"
WRONG_PASSWORD = "你输入了错误密码，请再修改正确密码！"
EXPORT_IMPORT = "导入导出"
EXPORTED = "导出成功！"
IMPORTED = "导入成功！"
SEND_MAIL = "发给送好友"
# The separator between an entry file's header lines and its content.
ENTRY_FILE_SEPARATOR = b"-" * 36
# The exit status of a run whose every scenario was skipped; CTest reports it as skipped.
ALL_SKIPPED = 77
# The welcome window's check box is stored as GBK text; 真 means "do not show it at start".
WELCOME_HIDDEN_LINE = "xuanzhong=真".encode("gbk")


class Skip(Exception):
    """A scenario cannot run on this machine; the reason says why."""


def expect(condition, message):
    if not condition:
        raise Failure(message)


def entry_count_suffix(count):
    return f"写了{count}篇日记啦！"


# --- steps shared by the scenarios ------------------------------------------------------------

def main_window(program):
    return program.window_starting_with(MAIN_PREFIX)


def past_entries(program):
    return program.window(PAST_ENTRIES)


def list_titles(program):
    listbox = program.control(past_entries(program), "列表框1")
    return [driver.name_of(item) for item in list_items(listbox)]


def list_items(listbox):
    return [c for c in driver.children(listbox) if c.get_role() == driver.Atspi.Role.LIST_ITEM]


def greeting(program):
    return driver.name_of(program.control(past_entries(program), "标签1"))


def wait_for_list(program, titles, count):
    """Waits until the past-entries list shows exactly these titles and counts them."""
    suffix = entry_count_suffix(count)

    def shown():
        return list_titles(program) == titles and greeting(program).endswith(suffix)

    try:
        wait_for(f"the list {titles} and a greeting ending in '{suffix}'", shown)
    except Failure:
        raise Failure(f"expected the list {titles} and a greeting ending in '{suffix}'; "
                      f"the list shows {list_titles(program)} and the greeting is "
                      f"'{greeting(program)}'") from None


def save_entry(program, title, content, entries_after):
    main = main_window(program)
    program.set_text(program.control(main, "Text_标题"), title)
    program.set_text(program.control(main, "Text_内容"), content)
    program.press(program.button(main, "保存文件"))
    program.answer_message(SAVED)
    # Saving clears the title and the content for the next entry.
    wait_for("the editor to be cleared after saving",
             lambda: driver.text_of(program.control(main, "Text_标题")) == ""
             and driver.text_of(program.control(main, "Text_内容")) == "")
    wait_for_list(program, entries_after, len(entries_after))


def list_line(program, title):
    listbox = program.control(past_entries(program), "列表框1")
    for item in list_items(listbox):
        if driver.name_of(item) == title:
            return item
    raise Failure(f"no line '{title}' in the past-entries list")


def select_line(program, title):
    """Selects a list line with a left click, as a person does."""
    driver.click(list_line(program, title), past_entries(program), button=1)
    wait_for(f"the line '{title}' to be selected",
             lambda: list_line(program, title).get_state_set().contains(
                 driver.Atspi.StateType.SELECTED))


def open_menu_and_choose(program, title, item_name):
    """Right-clicks a list line and chooses an item of the pop-up menu."""
    driver.click(list_line(program, title), past_entries(program), button=3)
    program.choose_menu_item(item_name)


def close_and_expect_exit(program, title):
    program.close_window(title)
    status = wait_for("the program to end after its main window closed",
                      lambda: program.process.poll() is not None and [program.process.poll()])
    expect(status[0] == 0, f"the program ended with status {status[0]}, expected 0\n"
                           f"{program.log_tail()}")


def restart(program):
    """Ends the program through its main window and starts it again in the same directory."""
    close_and_expect_exit(program, driver.name_of(main_window(program)))
    program.start()


def wait_for_caption(program, caption):
    main = main_window(program)
    try:
        wait_for(f"the main window's caption '{caption}'", lambda: driver.name_of(main) == caption)
    except Failure:
        raise Failure(f"main window caption is '{driver.name_of(main)}', "
                      f"expected '{caption}'") from None


def welcome_windows(program):
    return program.windows(WELCOME)


def wait_for_window_gone(program, title):
    wait_for(f"the window '{title}' to close", lambda: not program.windows(title))


def press_and_expect_message(program, window, button_name, message):
    program.press(program.button(window, button_name))
    program.answer_message(message)


def file_dialogs(program):
    """The toolkit's own file dialogs on screen now: dialogs that hold the file-name edit."""
    program.ensure_running()
    return [window for window in driver.children(program.app())
            if window.get_role() in (driver.Atspi.Role.DIALOG, driver.Atspi.Role.FILE_CHOOSER)
            and driver.is_showing(window) and find_described(window, "fileNameEdit") is not None]


def find_described(window, description):
    for node in driver.descendants(window):
        if node.get_description() == description:
            return node
    return None


def choose_file(program, path, accept_names):
    """Types a full path into the file dialog's name field and presses its accept button."""
    dialog = wait_for("a file dialog", lambda: next(iter(file_dialogs(program)), None))
    program.set_text(program.control(dialog, "fileNameEdit"), path)

    def accept_button():
        for node in driver.descendants(dialog):
            if (node.get_role() == driver.Atspi.Role.PUSH_BUTTON
                    and driver.name_of(node) in accept_names
                    and node.get_state_set().contains(driver.Atspi.StateType.ENABLED)):
                return node
        return None

    program.press(wait_for(f"an enabled button {accept_names} in the file dialog", accept_button))
    wait_for("the file dialog to close", lambda: not file_dialogs(program))


def editor_texts(program):
    """The five entry controls of the main window: title, date, mood, weather, content."""
    main = main_window(program)
    return (driver.text_of(program.control(main, "Text_标题")),
            driver.text_of(program.control(main, "Text_日期")),
            driver.text_of(driver.edit_field(program.control(main, "组合Text_心情"))),
            driver.text_of(driver.edit_field(program.control(main, "组合Text_天气"))),
            driver.text_of(program.control(main, "Text_内容")))


# --- scenarios --------------------------------------------------------------------------------

def first_start(program):
    main = main_window(program)
    try:
        wait_for("the first start's caption", lambda: driver.name_of(main) == FIRST_CAPTION)
    except Failure:
        raise Failure(f"main window caption is '{driver.name_of(main)}', "
                      f"expected '{FIRST_CAPTION}'") from None
    past = past_entries(program)

    # The window manager-less X server may report the first placement late: re-read both
    # rectangles until the past-entries window stands right beside the main window.
    def beside():
        mx, my, mw, _ = driver.extents(main)
        px, py, _, _ = driver.extents(past)
        return abs(px - (mx + mw + 11)) <= 2 and py == my

    try:
        wait_for("the past-entries window beside the main window", beside, timeout=5)
    except Failure:
        raise Failure(f"past-entries window at {driver.extents(past)[:2]}, main window at "
                      f"{driver.extents(main)}; expected x = main x + width + 11, same y") \
            from None

    for parts in (("DATEINI", "Inf.edb"), ("DATEINI", "Inf.ini"), ("开心假期", "Diary.edb")):
        expect(os.path.isfile(program.path(*parts)),
               f"{os.path.join(*parts)} was not created in the program directory")

    wait_for_list(program, [], 0)
    close_and_expect_exit(program, FIRST_CAPTION)


def save_entry_scenario(program):
    main_window(program)
    wait_for_list(program, [], 0)
    save_entry(program, "我的第一天", "今天去公园放风筝。", ["我的第一天"])


def open_and_delete(program):
    main = main_window(program)
    save_entry(program, "第一篇", "早上下雪了。", ["第一篇"])
    save_entry(program, "第二篇", "堆了一个雪人。", ["第一篇", "第二篇"])

    select_line(program, "第一篇")
    open_menu_and_choose(program, "第一篇", "打开")
    title_box = program.control(main, "Text_标题")
    content_box = program.control(main, "Text_内容")
    try:
        wait_for("the first entry in the editor",
                 lambda: driver.text_of(title_box) == "第一篇"
                 and driver.text_of(content_box) == "早上下雪了。")
    except Failure:
        raise Failure(f"after 打开 the editor shows title '{driver.text_of(title_box)}' and "
                      f"content '{driver.text_of(content_box)}'") from None

    select_line(program, "第一篇")
    open_menu_and_choose(program, "第一篇", "删除")
    wait_for_list(program, ["第二篇"], 1)
    # Deleting leaves the editor alone, even though it shows the deleted entry.
    expect(driver.text_of(title_box) == "第一篇", "删除 changed the editor's title")


def create_and_unlock(program):
    # A first start greets with the welcome window, which leads to a new book.
    main_window(program)
    welcome = program.window(WELCOME)
    program.press(program.button(welcome, "日记开篇"))
    new_book = program.window(NEW_BOOK)
    wait_for_window_gone(program, WELCOME)

    program.set_text(program.control(new_book, "Text_日记本名称"), "寒假")
    owner = program.control(new_book, "组合Text_可爱小主人")
    program.set_text(driver.edit_field(owner), "小明")
    program.set_text(program.control(new_book, "Text_开锁密码"), "abc")
    days = driver.edit_field(program.control(new_book, "组合Text_天数"))
    expect(driver.text_of(days) == "7", f"the days box shows '{driver.text_of(days)}', not 7")
    press_and_expect_message(program, new_book, "填好了，创建吧！", BOOK_CREATED)
    wait_for_window_gone(program, NEW_BOOK)
    expect(os.path.isfile(program.path("寒假", "Diary.edb")),
           "creating the book 寒假 made no 寒假/Diary.edb in the program directory")

    # The next start greets again; the new book is listed second, after the default book.
    restart(program)
    main_window(program)
    welcome = program.window(WELCOME)
    program.press(program.button(welcome, "假期续写"))
    open_book = program.window(OPEN_BOOK)
    wait_for_window_gone(program, WELCOME)

    books = program.control(open_book, "组合Text_日记名称集_列表")
    expected = ["开心假期", "寒假"]
    try:
        wait_for(f"the open-book list {expected}",
                 lambda: [driver.name_of(item) for item in list_items(books)] == expected)
    except Failure:
        raise Failure(f"the open-book list shows "
                      f"{[driver.name_of(item) for item in list_items(books)]}, "
                      f"expected {expected}") from None
    book_line = list_items(books)[1]
    driver.click(book_line, open_book)
    chosen = program.control(open_book, "组合Text_日记名称集_编辑")
    wait_for("寒假 chosen in the open-book list",
             lambda: book_line.get_state_set().contains(driver.Atspi.StateType.SELECTED)
             and driver.text_of(chosen) == "寒假")

    open_button = "就这个，开始阅览吧！"
    press_and_expect_message(program, open_book, open_button,
                             "你好像忘了输入 寒假 的开锁密码，赶快输入吧！")
    password = program.control(open_book, "Text_新开锁密码")
    program.set_text(password, "ABC")
    press_and_expect_message(program, open_book, open_button, WRONG_PASSWORD)
    # A refused password leaves the window open with what was typed.
    expect(program.windows(OPEN_BOOK), "the open-book window closed after a wrong password")
    expect(driver.text_of(password) == "ABC", "the wrong password was not left in its box")
    wait_for_caption(program, FIRST_CAPTION)

    program.set_text(password, "abc")
    press_and_expect_message(program, open_book, open_button, BOOK_OPENED)
    wait_for_window_gone(program, OPEN_BOOK)
    wait_for_caption(program, "WendlowV1.0  小明 的 寒假  7天假期")


def welcome_suppressed(program):
    main_window(program)
    welcome = program.window(WELCOME)
    box = program.control(welcome, "选择框1")
    expect(driver.name_of(box) == "下次启动时不再显示此窗口",
           f"the welcome window's check box reads '{driver.name_of(box)}'")
    driver.click(box, welcome)
    wait_for("the welcome window's check box to be checked",
             lambda: box.get_state_set().contains(driver.Atspi.StateType.CHECKED))
    ini = program.path("DATEINI", "Inf.ini")
    try:
        wait_for("xuanzhong=真 in DATEINI/Inf.ini",
                 lambda: WELCOME_HIDDEN_LINE in driver.read_bytes(ini).splitlines())
    except Failure:
        raise Failure(f"DATEINI/Inf.ini holds {driver.read_bytes(ini)!r}, without the line "
                      f"{WELCOME_HIDDEN_LINE!r}") from None

    restart(program)
    # Everything the start shows is up once the caption is set and the past-entries window
    # stands; the welcome window would have come before them.
    wait_for_caption(program, FIRST_CAPTION)
    past_entries(program)
    wait_for_list(program, [], 0)
    driver.stays_absent("the welcome window at a start with xuanzhong=真",
                        lambda: welcome_windows(program), duration=2.0)

    # The main window's button still opens it, showing the box checked.
    program.press(program.button(main_window(program), "欢迎窗口"))
    welcome = program.window(WELCOME)
    box = program.control(welcome, "选择框1")
    wait_for("the check box shown checked in the welcome window opened by 欢迎窗口",
             lambda: box.get_state_set().contains(driver.Atspi.StateType.CHECKED))
    program.close_window(WELCOME)
    wait_for_window_gone(program, WELCOME)
    close_and_expect_exit(program, FIRST_CAPTION)


def export_import(program):
    main = main_window(program)
    title, content = "雪地里的一天", "上午堆雪人。\n下午打雪仗。"
    program.set_text(program.control(main, "Text_标题"), title)
    program.set_text(program.control(main, "Text_内容"), content)
    exported = editor_texts(program)

    program.press(program.button(main, "导入导出"))
    window = program.window(EXPORT_IMPORT)
    target = program.path("导出的日记.txt")
    program.press(program.button(window, "导出"))
    choose_file(program, target, ("Save", "保存"))
    program.answer_message(EXPORTED)

    # The file holds the entry as GBK: four header lines, the separator, then the content with
    # its line break as CR LF.
    expected = (b"".join(text.encode("gbk") + b"\r\n" for text in exported[:4])
                + ENTRY_FILE_SEPARATOR + exported[4].replace("\n", "\r\n").encode("gbk"))
    written = driver.read_bytes(target)
    expect(written == expected, f"the exported file holds {written!r}, expected {expected!r}")

    program.set_text(program.control(main, "Text_标题"), "改过的标题")
    program.press(program.button(window, "导入"))
    choose_file(program, target, ("Open", "打开"))
    program.answer_message(IMPORTED)
    try:
        wait_for("the exported entry back in the editor", lambda: editor_texts(program) == exported)
    except Failure:
        raise Failure(f"after the import the editor shows {editor_texts(program)}, "
                      f"expected {exported}") from None

    program.close_window(EXPORT_IMPORT)
    wait_for_window_gone(program, EXPORT_IMPORT)


def start_mail_server(directory, user, password):
    """The test SMTP server on 127.0.0.1 port 25, where the program always sends."""
    if os.geteuid() != 0:
        raise Skip("sending mail needs a server on port 25, which only root may open "
                   f"(running as uid {os.geteuid()})")
    os.makedirs(directory)
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "mail_server.py"),
                               "--dir", directory, "--user", user, "--password", password],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL)

    def first_line():
        if server.poll() is not None:
            return server.stdout.readline() or b"(exited without a word)"
        ready, _, _ = select.select([server.stdout], [], [], 0)
        return server.stdout.readline() if ready else None

    try:
        line = wait_for("the mail server on port 25", first_line).decode(errors="replace").strip()
    except Failure:
        stop_process(server)
        raise
    if line == "PORT 25":
        return server
    stop_process(server)
    if line.startswith("UNAVAILABLE"):
        raise Skip(f"port 25 on 127.0.0.1 cannot be had: {line[len('UNAVAILABLE '):]}")
    raise Failure(f"the mail server did not start: {line}")


def stop_process(process):
    if process.poll() is None:
        process.kill()
    process.wait()


def received_mails(directory):
    return sorted(name for name in os.listdir(directory)
                  if name.startswith("msg-") and name.endswith(".json"))


def send_mail(program):
    account, password, recipient = "xiaoming", "mima-123", "friend@example.org"
    server_dir = program.path("mail-server")
    server = start_mail_server(server_dir, account, password)
    try:
        main = main_window(program)
        wait_for_caption(program, FIRST_CAPTION)
        title, content = "寄给朋友的一天", "今天学会了滑冰。\n明天还去。"
        program.set_text(program.control(main, "Text_标题"), title)
        program.set_text(program.control(main, "Text_内容"), content)
        entry = editor_texts(program)

        program.press(program.button(main, "发送日记"))
        window = program.window(SEND_MAIL)
        program.set_text(driver.edit_field(program.control(window, "组合框1")), "127.0.0.1")
        program.set_text(program.control(window, "编辑框2"), account)
        program.set_text(program.control(window, "编辑框3"), password)
        program.set_text(program.control(window, "编辑框4"), recipient)
        press_and_expect_message(program, window, "好了，发送吧！",
                                 f"太好了，发送给{recipient}的邮件成功发送！")

        mails = received_mails(server_dir)
        expect(mails == ["msg-1.json"], f"the mail server holds {mails}, expected one mail")
        with open(os.path.join(server_dir, mails[0]), encoding="utf-8") as f:
            mail = json.load(f)
        # The host 127.0.0.1 gives the domain after its first full stop.
        sender = f"{account}@0.0.1"
        subject = f"小小主人跟你分享他的日记：{title}"
        body = (f"日记标题：{entry[0]}     这篇日记完成于：{entry[1]}\r\n那时我的心情{entry[2]}"
                f"     以及那时的天气：{entry[3]}\r\n" + entry[4].replace("\n", "\r\n"))
        got = {"subject": mail["subject"], "from": mail["mail_from"], "to": mail["rcpt_tos"],
               "body": bytes.fromhex(mail["body_hex"])}
        want = {"subject": subject, "from": sender, "to": [recipient], "body": body.encode("gbk")}
        for key, value in want.items():
            expect(got[key] == value, f"the mail's {key} is {got[key]!r}, expected {value!r}")

        # The account is remembered for the next time the window opens.
        program.close_window(SEND_MAIL)
        wait_for_window_gone(program, SEND_MAIL)
        program.press(program.button(main, "发送日记"))
        window = program.window(SEND_MAIL)
        remembered = program.control(window, "编辑框2")
        wait_for(f"the account '{account}' remembered",
                 lambda: driver.text_of(remembered) == account)
        program.close_window(SEND_MAIL)
        wait_for_window_gone(program, SEND_MAIL)
    finally:
        stop_process(server)


SCENARIOS = {
    "first_start": first_start,
    "save_entry": save_entry_scenario,
    "open_and_delete": open_and_delete,
    "create_and_unlock": create_and_unlock,
    "welcome_suppressed": welcome_suppressed,
    "export_import": export_import,
    "send_mail": send_mail,
}


def run(name, built_program, work):
    program = driver.Program(built_program, os.path.join(work, name))
    started = time.monotonic()
    try:
        program.start()
        SCENARIOS[name](program)
    except Skip as reason:
        print(f"SKIP {name}: {reason}", flush=True)
        return None
    except Failure as failure:
        print(f"FAIL {name}: {failure}", flush=True)
        return False
    except Exception:  # a broken driver or a vanished program: report it, never hang
        print(f"FAIL {name}: unexpected error\n{traceback.format_exc()}", flush=True)
        if program.process is not None and program.process.poll() is not None:
            print(f"program ended with status {program.process.returncode}\n"
                  f"{program.log_tail()}", flush=True)
        return False
    finally:
        program.kill()
    print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("scenarios", nargs="*")
    args = parser.parse_args()

    names = args.scenarios or list(SCENARIOS)
    unknown = [n for n in names if n not in SCENARIOS]
    if unknown:
        print(f"unknown scenario(s): {', '.join(unknown)}; known: {', '.join(SCENARIOS)}")
        return 2

    driver.connect_accessibility_bus()
    results = [run(name, args.program, args.work) for name in names]
    failed = results.count(False)
    if failed:
        print(f"{failed} of {len(results)} scenario(s) failed")
        return 1
    if results.count(None) == len(results):
        return ALL_SKIPPED
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception:  # the buses or the driver itself broke; run_acceptance.sh shows the bus log
        traceback.print_exc()
        sys.exit(3)
