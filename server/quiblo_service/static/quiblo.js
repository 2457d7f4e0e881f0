// Conveniences for the service's pages, which work without them: a click on the picture shows it
// at full size (and fits it again), and a button copies a link.
"use strict";
document.querySelectorAll("a.zoom").forEach((link) => {
  link.addEventListener("click", (event) => {
    event.preventDefault();
    link.querySelector("img").classList.toggle("fit");
  });
});
document.querySelectorAll("button[data-copy]").forEach((button) => {
  button.hidden = false;
  button.addEventListener("click", async () => {
    const field = document.getElementById(button.dataset.copy);
    try {
      await navigator.clipboard.writeText(field.value);
    } catch (error) {
      field.select();
      document.execCommand("copy");
    }
    button.textContent = button.dataset.copied;
  });
});
// The team's page: pictures dropped anywhere on the page or pasted are uploaded with a progress
// bar each; "Delete" asks first and removes the picture from the grid at once.
const upload = document.getElementById("upload");
if (upload) {
  const list = document.getElementById("progress");
  const send = (file) => {
    const item = document.createElement("li");
    const bar = document.createElement("progress");
    bar.max = 1;
    bar.value = 0;
    item.append(bar, " ", file.name || "clipboard.png");
    list.append(item);
    const data = new FormData();
    const token = upload.querySelector("input[name=token]");
    if (token) data.append("token", token.value);
    data.append("expires", upload.querySelector("select[name=expires]").value);
    data.append("pictures", file, file.name || "clipboard.png");
    return new Promise((done) => {
      const request = new XMLHttpRequest();
      request.upload.addEventListener("progress", (event) => { bar.value = event.loaded / event.total; });
      request.addEventListener("loadend", () => { bar.value = 1; done(request.responseURL); });
      request.open("POST", "/my/upload");
      request.send(data);
    });
  };
  const sendAll = async (files) => {
    let last = "/my";
    for (const file of files) last = (await send(file)) || last;
    window.location.assign(last);
  };
  document.addEventListener("dragover", (event) => { event.preventDefault(); document.body.classList.add("dropping"); });
  document.addEventListener("dragleave", () => document.body.classList.remove("dropping"));
  document.addEventListener("drop", (event) => {
    event.preventDefault();
    document.body.classList.remove("dropping");
    if (event.dataTransfer.files.length) sendAll(Array.from(event.dataTransfer.files));
  });
  document.addEventListener("paste", (event) => {
    const files = Array.from(event.clipboardData.files || []);
    if (files.length) sendAll(files);
  });
}
document.querySelectorAll("a.delete").forEach((link) => {
  link.addEventListener("click", async (event) => {
    event.preventDefault();
    if (!window.confirm(link.dataset.question)) return;
    const body = new URLSearchParams({token: link.dataset.token});
    const answer = await fetch(link.href, {method: "POST", body, redirect: "manual"});
    if (answer.type === "opaqueredirect" || answer.ok) link.closest("li").remove();
  });
});
document.querySelectorAll("input[hidden][id^=link-]").forEach((field) => { field.hidden = true; });
