"""Acceptance scenarios: the built program, started in a fresh directory, used as a person would.

    scenarios.py --program <wendlow> --work <dir> [scenario...]

Run through run_acceptance.sh, which provides the X server and the buses.
"""

import argparse
import os
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import wendlow_driver as driver  # noqa: E402
from wendlow_driver import Failure, wait_for  # noqa: E402

MAIN_PREFIX = "WendlowV"
PAST_ENTRIES = "往事登记"
FIRST_CAPTION = "WendlowV1.0  小小主人 的 开心假期  7天假期"
SAVED = "恭喜你！写完了一篇日记！"


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


SCENARIOS = {
    "first_start": first_start,
    "save_entry": save_entry_scenario,
    "open_and_delete": open_and_delete,
}


def run(name, built_program, work):
    program = driver.Program(built_program, os.path.join(work, name))
    started = time.monotonic()
    try:
        program.start()
        SCENARIOS[name](program)
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
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception:  # the buses or the driver itself broke; run_acceptance.sh shows the bus log
        traceback.print_exc()
        sys.exit(3)
